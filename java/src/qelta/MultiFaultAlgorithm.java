package qelta;

/**
 * Names of the codes that {@link DiagNetwork#setMultiFaultAlgorithm(int)} takes and
 * {@link DiagNetwork#getMultiFaultAlgorithm()} answers: how a test is rated while faults on
 * several nodes are pursued (see <a href="DiagNetwork.html#ranking">How tests are
 * ranked</a>). Any other code is refused with {@link QELTAException#NO_CODE}, naming the
 * argument.
 */
public final class MultiFaultAlgorithm {
    private MultiFaultAlgorithm() {}

    /**
     * The largest change of a pursued fault's probability; the default.
     */
    public static final int LARGEST_CHANGE = 0x101;

    /**
     * The normalised distance between the fault probabilities now and
     * after the test.
     */
    public static final int NORMALISED_DISTANCE = 0x102;

    /**
     * The cosine distance between the fault probabilities now and after.
     */
    public static final int COSINE_DISTANCE = 0x103;

    /**
     * The mean absolute change of the fault probabilities.
     */
    public static final int MEAN_ABSOLUTE_CHANGE = 0x104;

    /**
     * The mean of {@link #NORMALISED_DISTANCE} and
     * {@link #MEAN_ABSOLUTE_CHANGE}.
     */
    public static final int MEAN_OF_DISTANCE_AND_CHANGE = 0x105;

    /**
     * The change of certainty measure A of the fault probabilities.
     */
    public static final int CERTAINTY_A = 0x41;

    /**
     * The change of certainty measure B, around the threshold 1 - 1/n.
     */
    public static final int CERTAINTY_B = 0x81;

    /**
     * Entropy change of the states with at least one
     * fault present, fault nodes taken as independent.
     */
    public static final int ENTROPY_AT_LEAST_ONE_INDEPENDENT = 0xA;

    /**
     * Entropy change of the states with exactly one fault
     * present, fault nodes taken as independent.
     */
    public static final int ENTROPY_EXACTLY_ONE_INDEPENDENT = 0x12;

    /**
     * Entropy change of the state with every fault present, fault
     * nodes taken as independent.
     */
    public static final int ENTROPY_ALL_INDEPENDENT = 0x22;

    /**
     * As {@link #ENTROPY_AT_LEAST_ONE_INDEPENDENT}, from the
     * fault nodes' joint distribution.
     */
    public static final int ENTROPY_AT_LEAST_ONE_JOINT = 0xC;

    /**
     * As {@link #ENTROPY_EXACTLY_ONE_INDEPENDENT}, from the fault
     * nodes' joint distribution.
     */
    public static final int ENTROPY_EXACTLY_ONE_JOINT = 0x14;

    /**
     * As {@link #ENTROPY_ALL_INDEPENDENT}, from the fault nodes' joint
     * distribution.
     */
    public static final int ENTROPY_ALL_JOINT = 0x24;
}
