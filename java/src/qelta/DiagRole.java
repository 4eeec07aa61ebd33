package qelta;

/**
 * Names of the diagnostic roles that {@link Network#setNodeDiagType(int, int)} takes and
 * {@link Network#getNodeDiagType(int)} answers (see
 * <a href="Network.html#diagnostic-roles">Diagnostic roles</a>). Any other code is refused
 * with {@link QELTAException#NO_CODE}, naming the argument.
 */
public final class DiagRole {
    private DiagRole() {}

    /**
     * A target: its fault outcomes are the faults of a {@link DiagNetwork}.
     */
    public static final int TARGET = 0;

    /**
     * An observation: a test of a {@link DiagNetwork} once it is ranked.
     */
    public static final int OBSERVATION = 1;

    /**
     * Neither target nor observation; the role of a new node.
     */
    public static final int AUXILIARY = 2;
}
