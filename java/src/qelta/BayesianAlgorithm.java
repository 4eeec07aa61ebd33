package qelta;

/**
 * Names of the Bayesian-network algorithm codes that {@link Network#setBayesianAlgorithm(int)}
 * takes and {@link Network#getBayesianAlgorithm()} answers (see
 * <a href="Network.html#algorithms">Algorithms</a>, which says what each runs). Any other
 * code is refused with {@link QELTAException#NO_CODE}, naming the argument, and the setting
 * stays.
 */
public final class BayesianAlgorithm {
    private BayesianAlgorithm() {}

    /**
     * Join-tree clustering over the parts relevance reasoning leaves (exact); the
     * default.
     */
    public static final int CLUSTERING = 0;

    /**
     * Rejection sampling: samples that disagree with the evidence dropped.
     */
    public static final int REJECTION_SAMPLING = 1;

    /**
     * Polytree propagation; exact only when the network has no loop.
     */
    public static final int POLYTREE = 2;

    /**
     * Evidence-weighted sampling.
     */
    public static final int EVIDENCE_WEIGHTING = 3;

    /**
     * Importance sampling with tables re-estimated every 100 samples.
     */
    public static final int IMPORTANCE_SAMPLING = 4;

    /**
     * The same routine as {@link #EVIDENCE_WEIGHTING}.
     */
    public static final int WEIGHTED_SAMPLING = 5;

    /**
     * Sampling that draws the parents of each observed node backwards.
     */
    public static final int BACKWARD_SAMPLING = 6;

    /**
     * Adaptive importance sampling with heuristic tables.
     */
    public static final int ADAPTIVE_IMPORTANCE_SAMPLING = 7;

    /**
     * Importance sampling with tables from loopy belief propagation.
     */
    public static final int LOOPY_IMPORTANCE_SAMPLING = 8;

    /**
     * Loopy belief propagation alone.
     */
    public static final int LOOPY_BELIEF_PROPAGATION = 9;

    /**
     * A junction tree per part that relevance reasoning leaves (exact).
     */
    public static final int PART_JUNCTION_TREES = 10;

    /**
     * Relevance decomposition of the targets in batches (exact).
     */
    public static final int RELEVANCE_DECOMPOSITION = 11;

    /**
     * Relevance decomposition of all targets in one batch
     * (exact).
     */
    public static final int RELEVANCE_DECOMPOSITION_ONE_BATCH = 12;
}
