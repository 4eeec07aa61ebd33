package qelta;

/**
 * Names of the codes that {@link DiagNetwork#setSingleFaultAlgorithm(int)} takes and
 * {@link DiagNetwork#getSingleFaultAlgorithm()} answers: how a test is rated while fewer than
 * two faults are pursued (see <a href="DiagNetwork.html#ranking">How tests are ranked</a>).
 * Any other code is refused with {@link QELTAException#NO_CODE}, naming the argument.
 */
public final class SingleFaultAlgorithm {
    private SingleFaultAlgorithm() {}

    /**
     * Relative entropy reduction of the pursued fault.
     */
    public static final int RELATIVE_ENTROPY = 0x200;

    /**
     * Absolute entropy reduction of the pursued fault.
     */
    public static final int ABSOLUTE_ENTROPY = 0x400;

    /**
     * The largest change of the pursued fault's probability; the
     * default.
     */
    public static final int PROBABILITY_CHANGE = 0x800;
}
