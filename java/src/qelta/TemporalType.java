package qelta;

/**
 * Names of the temporal types that {@link Network#setNodeTemporalType(int, int)} takes and
 * {@link Network#getNodeTemporalType(int)} answers (see
 * <a href="Network.html#temporal-types">Temporal types</a>). Any other code is refused with
 * {@link QELTAException#NO_CODE}, naming the argument.
 */
public final class TemporalType {
    private TemporalType() {}

    /**
     * Outside the plate: one node shared by all slices; the type of a new node.
     */
    public static final int NORMAL = 0;

    /**
     * Outside the plate: a parent of plate nodes in slice 0 only.
     */
    public static final int ANCHOR = 1;

    /**
     * Outside the plate: a child of plate nodes of the last slice only.
     */
    public static final int TERMINAL = 2;

    /**
     * Inside the plate: one copy per slice; the only type in temporal arcs.
     */
    public static final int PLATE = 3;
}
