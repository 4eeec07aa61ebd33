package qelta.learning;

import qelta.Network;
import qelta.Wrapper;

/**
 * Learning of a tree-augmented naive Bayes network for one class variable.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class TAN extends Wrapper {
    /** Creates the learner with its default options. */
    public TAN() {
        adopt(createNative(null), TAN::deleteNative);
    }

    /** Makes the native options record; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native options record made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The time limit of the learner (none by default).
     *
     * @return the limit in seconds; 0 means none
     */
    public native int getMaxSearchTime();

    /**
     * Sets the time limit of the learner. A run that reaches it stops soon after
     * and {@code learn} fails with code -99 and a message saying that the
     * time limit was reached.
     *
     * @param seconds the limit; 0 means none
     */
    public native void setMaxSearchTime(int seconds);

    /**
     * The seed of the tree-building step (0 by default).
     *
     * @return the seed
     */
    public native int getRandSeed();

    /**
     * Sets the seed of the tree-building step.
     *
     * @param seed the seed
     */
    public native void setRandSeed(int seed);

    /**
     * The identifier of the class variable.
     *
     * @return the identifier; empty when unset
     */
    public native String getClassVariableId();

    /**
     * Sets the class variable.
     *
     * @param id the identifier of a data-set variable
     */
    public native void setClassVariableId(String id);

    /**
     * Learns a tree-augmented naive Bayes network.
     *
     * @param data the data
     * @return the learned network, owned by the caller
     */
    public native Network learn(DataSet data);
}
