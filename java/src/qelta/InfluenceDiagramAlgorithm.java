package qelta;

/**
 * Names of the influence-diagram algorithm codes that
 * {@link Network#setInfluenceDiagramAlgorithm(int)} takes and
 * {@link Network#getInfluenceDiagramAlgorithm()} answers (see
 * <a href="Network.html#algorithms">Algorithms</a>). Any other code is refused with
 * {@link QELTAException#NO_CODE}, naming the argument, and the setting stays.
 */
public final class InfluenceDiagramAlgorithm {
    private InfluenceDiagramAlgorithm() {}

    /**
     * Solves the whole diagram: every decision's expected utilities and every
     * node's value. The default.
     */
    public static final int WHOLE_DIAGRAM = 0;

    /**
     * Names only the best choice of the first open decision, as a point mass.
     */
    public static final int BEST_POLICY = 1;
}
