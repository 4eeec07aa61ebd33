package qelta;

/**
 * Names of the parent types of a DeMorgan node that
 * {@link Network#setDeMorganParentType(int, int, int)} and
 * {@link Network#setDeMorganTemporalParentType(int, int, int, int)} take and their getters
 * answer. Any other code is refused with {@link QELTAException#NO_CODE}, naming the argument.
 */
public final class DeMorganParentType {
    private DeMorganParentType() {}

    /**
     * An inhibitor: when the parent is "True", p = P("True") becomes p (1 - w), w its weight.
     */
    public static final int INHIBITOR = 0;

    /**
     * A requirement: when the parent is "False", p becomes p (1 - w).
     */
    public static final int REQUIREMENT = 1;

    /**
     * A cause: when the parent is "True", p becomes p + (1 - p) w; the type of a new parent.
     */
    public static final int CAUSE = 2;

    /**
     * A barrier: when the parent is "False", p becomes p + (1 - p) w.
     */
    public static final int BARRIER = 3;
}
