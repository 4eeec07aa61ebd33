package qelta;

import java.util.Objects;

/**
 * The value of information in an influence diagram: how much observing some
 * nodes before a decision is worth.
 *
 * <p>Choose the nodes to observe, the decision and the point of view, call
 * {@link #update()}, then read the values and the nodes that index them.
 *
 * <p>Every method reports a failure by throwing {@link QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 *
 * <p>The object refers to its network: it keeps the network reachable, and
 * must be closed before the network is.
 */
public final class ValueOfInfo extends Wrapper {
    /** The network; the native methods read it by this name. */
    private final Network net;

    /**
     * Prepares the computation on an influence diagram.
     *
     * @param net the network
     */
    public ValueOfInfo(Network net) {
        this.net = Objects.requireNonNull(net, "net");
        adopt(createNative(net), ValueOfInfo::deleteNative, net);
    }

    /** Makes the native object on the network given as the argument. */
    private native long createNative(Object net);

    /** Deletes a native object made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * Computes the values of information for the current choices. A node that cannot be observed
     * before the decision is refused with the code of the refused arc into the decision, the message carrying
     * its reason ("Node [<i>id</i>] cannot be observed before
     * node [<i>decision</i>]"): code -51 for a plate node of a dynamic diagram observed before a
     * decision outside the plate, which has no one value to observe.
     */
    public native void update();

    /**
     * Adds a node to those to be observed before the decision.
     *
     * @param nodeHandle handle of the node
     */
    public native void addNode(int nodeHandle);

    /**
     * Same as {@link #addNode(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void addNode(String nodeId);

    /**
     * Removes a node from those to be observed before the decision.
     *
     * @param nodeHandle handle of the node
     */
    public native void removeNode(int nodeHandle);

    /**
     * Same as {@link #removeNode(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void removeNode(String nodeId);

    /**
     * The nodes to be observed.
     *
     * @return the node handles
     */
    public native int[] getAllNodes();

    /**
     * The identifiers of the nodes to be observed.
     *
     * @return the node identifiers
     */
    public native String[] getAllNodeIds();

    /**
     * Sets the decision that the observations precede.
     *
     * @param nodeHandle handle of the node
     */
    public native void setDecision(int nodeHandle);

    /**
     * Same as {@link #setDecision(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void setDecision(String nodeId);

    /**
     * The decision that the observations precede.
     *
     * @return the node handle, or -1 when unset
     */
    public native int getDecision();

    /**
     * The identifier of the decision that the observations precede.
     *
     * @return the node identifier
     */
    public native String getDecisionId();

    /**
     * The decision nodes of the network, in decision order.
     *
     * @return the node handles
     */
    public native int[] getAllDecisions();

    /**
     * The identifiers of the decision nodes of the network.
     *
     * @return the node identifiers
     */
    public native String[] getAllDecisionIds();

    /**
     * The network's decision order up to its last decision node.
     *
     * @return the node handles
     */
    public native int[] getAllActions();

    /**
     * The identifiers of the network's decision order up to its last decision node.
     *
     * @return the node identifiers
     */
    public native String[] getAllActionIds();

    /**
     * Sets the decision from whose point of view the values are computed.
     *
     * @param nodeHandle handle of the node
     */
    public native void setPointOfView(int nodeHandle);

    /**
     * Same as {@link #setPointOfView(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void setPointOfView(String nodeId);

    /**
     * The decision from whose point of view the values are computed.
     *
     * @return the node handle, or -1 when unset
     */
    public native int getPointOfView();

    /**
     * The identifier of the point-of-view decision.
     *
     * @return the node identifier
     */
    public native String getPointOfViewId();

    /**
     * The nodes that index the values, in the order of their dimensions.
     *
     * @return the node handles
     */
    public native int[] getIndexingNodes();

    /**
     * The identifiers of the nodes that index the values.
     *
     * @return the node identifiers
     */
    public native String[] getIndexingNodeIds();

    /**
     * The values of information computed by {@link #update()}. Each is the difference of two
     * expected utilities, so it is exact to the rounding of the largest utility they weigh (a few
     * units in its last place), not to 1e-12 of itself: a value that is exactly 0 may come out as
     * a tiny positive number. None is below 0.
     *
     * @return the values, last dimension fastest; empty before {@link #update()}
     */
    public native double[] getValues();
}
