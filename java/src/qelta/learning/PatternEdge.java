package qelta.learning;

/**
 * Names of the edge types that {@link Pattern#setEdge(int, int, int)} takes and
 * {@link Pattern#getEdge(int, int)} answers. Any other code is refused with
 * {@link qelta.QELTAException#NO_CODE}, naming the argument.
 */
public final class PatternEdge {
    private PatternEdge() {}

    /**
     * No edge.
     */
    public static final int NONE = 0;

    /**
     * An undirected edge.
     */
    public static final int UNDIRECTED = 1;

    /**
     * A directed edge from the first node to the second.
     */
    public static final int DIRECTED = 2;
}
