package qelta.learning;

import qelta.Network;
import qelta.Wrapper;

/**
 * Structure learning by greedy thick thinning: arcs are added while the score
 * improves, then removed while it improves, within the limits of the
 * background knowledge.
 *
 * <p>A run has no time limit, and none can be set: it ends only when no arc
 * change improves the score. Its time grows about as the cube of the number
 * of data columns (W<sup>3</sup>): on 50 records, a few seconds for 250
 * columns, over half a minute for 500 and minutes for 1,000. For data with
 * many columns, {@link BayesianSearch}, {@link PC} and {@link TAN} take a
 * time limit.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class GreedyThickThinning extends Wrapper {
    /** Creates the learner with its default options. */
    public GreedyThickThinning() {
        adopt(createNative(null), GreedyThickThinning::deleteNative);
    }

    /** Makes the native options record; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native options record made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The largest number of parents a node may get (5 by default).
     *
     * @return the limit
     */
    public native int getMaxParents();

    /**
     * Sets the largest number of parents a node may get. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param maxParents the limit, 0 or more
     */
    public native void setMaxParents(int maxParents);

    /**
     * The background knowledge the search applies.
     *
     * @return a copy of the knowledge, owned by the caller
     */
    public native BkKnowledge getBkKnowledge();

    /**
     * Sets the background knowledge the search applies. The learner keeps a copy.
     *
     * @param knowledge the knowledge to copy
     */
    public native void setBkKnowledge(BkKnowledge knowledge);

    /**
     * Learns a network structure and its parameters by greedy thick thinning.
     *
     * @param data the data
     * @return the learned network, owned by the caller
     */
    public native Network learn(DataSet data);
}
