package qelta.learning;

import qelta.Wrapper;

/**
 * Structure learning by the PC algorithm: independence tests give the
 * pattern (partially directed graph) of the data.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class PC extends Wrapper {
    /** Creates the learner with its default options. */
    public PC() {
        adopt(createNative(null), PC::deleteNative);
    }

    /** Makes the native options record; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native options record made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The largest adjacency set the independence tests consider (8 by default).
     *
     * @return the limit
     */
    public native int getMaxAdjacency();

    /**
     * Sets the largest adjacency set the independence tests consider. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param maxAdjacency the limit, 0 or more
     */
    public native void setMaxAdjacency(int maxAdjacency);

    /**
     * The time limit of the search (none by default).
     *
     * @return the limit in seconds; 0 means none
     */
    public native int getMaxSearchTime();

    /**
     * Sets the time limit of the search. A run that reaches it stops soon after
     * and {@code learn} fails with code -99 and a message saying that the
     * time limit was reached.
     *
     * @param seconds the limit; 0 means none
     */
    public native void setMaxSearchTime(int seconds);

    /**
     * The significance level of the independence tests (0.05 by default).
     *
     * @return the significance level
     */
    public native double getSignificance();

    /**
     * Sets the significance level of the independence tests. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param significance the significance level, from 0 to 1
     */
    public native void setSignificance(double significance);

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
     * Learns the pattern (partially directed graph) of the data by the PC algorithm.
     *
     * @param data the data
     * @return the learned pattern, owned by the caller
     */
    public native Pattern learn(DataSet data);
}
