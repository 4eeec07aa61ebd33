package qelta;

/**
 * Names of the definition type codes that {@link Network#addNode(int, String)},
 * {@link Network#setNodeType(int, int)} and {@link Network#getNodeType(int)} take and answer
 * (see <a href="Network.html#node-types">Node types</a>). A code is a sum of bits: 1 decision,
 * 2 probabilistic chance node, 4 equation or truth table, 8 utility, 16 the kinds with named
 * outcomes. Any other code is refused with {@link QELTAException#NO_CODE}, naming the argument.
 */
public final class NodeType {
    private NodeType() {}

    /**
     * A continuous node defined by an equation; it has discretization intervals, not outcomes.
     */
    public static final int EQUATION = 4;

    /**
     * A utility node: one utility per configuration of its parents; no outcomes.
     */
    public static final int UTILITY = 8;

    /**
     * A decision node, whose outcomes are its choices.
     */
    public static final int DECISION = 17;

    /**
     * A chance node with a conditional probability table.
     */
    public static final int CPT = 18;

    /**
     * A deterministic chance node: a table with one 1 per parent configuration.
     */
    public static final int TRUTH_TABLE = 20;

    /**
     * A CAST node, with the fixed outcomes "True" and "False".
     */
    public static final int CAST = 50;

    /**
     * A DeMorgan node, with the fixed outcomes "True" and "False" (see
     * {@link DeMorganParentType}).
     */
    public static final int DEMORGAN = 82;

    /**
     * A noisy-MAX node, defined by its parameters.
     */
    public static final int NOISY_MAX = 146;

    /**
     * A noisy-adder node, defined by its parameters.
     */
    public static final int NOISY_ADDER = 274;

    /**
     * A multi-attribute utility node: weights (or expressions) over utility parents; no
     * outcomes.
     */
    public static final int MAU = 520;
}
