package qelta;

import qelta.learning.DataMatch;
import qelta.learning.DataSet;

/**
 * For every node of a network, how many records of a data set fall into each
 * configuration of the node's parents, in the order of the node's table
 * columns. {@link Network#calcConfidenceIntervals(int[], InstanceCounts,
 * double, int, int)} reads them.
 *
 * <p>The counts do not refer to the network after they are made: compute
 * them again when its structure or outcomes change.
 *
 * <p>Every method reports a failure by throwing {@link QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class InstanceCounts extends Wrapper {
    /** Creates an empty set of counts. */
    public InstanceCounts() {
        adopt(createNative(null), InstanceCounts::deleteNative);
    }

    /** Makes the native counts; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes native counts made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * Sets every count of every node of the network to the given value.
     *
     * <p>Counts need every node defined by a CPT or a truth table: a network with another node (an
     * equation node, a noisy-MAX node, ...) is refused with code -51, "QELTA error -51 in function
     * SetUniform", and the counts are emptied. The message carries the
     * reason, naming the node.
     *
     * @param net the network
     * @param count the count
     */
    public native void setUniform(Network net, int count);

    /**
     * Counts the records of the data set that fall into each configuration of each node's parents.
     * The counts replace any earlier content.
     *
     * <p>As in {@link #setUniform(Network, int)}, a network with a node that is not a CPT or a
     * truth table (an equation node, say) is refused with code -51, "QELTA error -51 in function
     * Calculate", the counts emptied and the message carrying the reason, naming the
     * node.
     *
     * @param net the network
     * @param data the data set
     * @param matching the matches of data-set columns to nodes
     */
    public native void calculate(Network net, DataSet data, DataMatch[] matching);
}
