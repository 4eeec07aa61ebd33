package qelta.learning;

import qelta.Network;
import qelta.Wrapper;

/**
 * A partially directed graph over the variables of a data set, as the PC
 * algorithm learns it: between two variables there is no edge, an undirected
 * edge, or a directed one.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class Pattern extends Wrapper {
    /** Creates a pattern over no variables. */
    public Pattern() {
        adopt(createNative(null), Pattern::deleteNative);
    }

    /** Makes the native object; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native object made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The number of variables of the pattern.
     *
     * @return the number of variables
     */
    public native int getSize();

    /**
     * Sets the number of variables. Edges among the variables kept stay; new ones start without
     * edges. A negative size, and one whose edges need more memory than there is, are refused
     * with {@link qelta.QELTAException#NO_CODE}, naming the size ("Pattern size -1 is
     * negative"), and the pattern stays.
     *
     * @param size the number of variables
     */
    public native void setSize(int size);

    /**
     * The edge between two variables.
     *
     * @param from the first variable
     * @param to the second variable
     * @return one of {@link PatternEdge}: {@link PatternEdge#NONE}, {@link PatternEdge#UNDIRECTED},
     *     {@link PatternEdge#DIRECTED} (from the first to the second)
     */
    public native int getEdge(int from, int to);

    /**
     * Sets the edge between two variables.
     *
     * @param from the first variable
     * @param to the second variable
     * @param type one of {@link PatternEdge}: {@link PatternEdge#NONE}, {@link PatternEdge#UNDIRECTED},
     *     {@link PatternEdge#DIRECTED} (from the first to the second); another code is refused with
     *     {@link qelta.QELTAException#NO_CODE}, naming the argument
     */
    public native void setEdge(int from, int to, int type);

    /**
     * Whether the pattern has a directed cycle.
     *
     * @return true when there is a directed cycle
     */
    public native boolean hasCycle();

    /**
     * Whether every edge is directed and there is no cycle.
     *
     * @return true when it is a directed acyclic graph
     */
    public native boolean isDAG();

    /**
     * Makes a network with one node per data-set variable and one arc per directed edge, after
     * extending the pattern to a DAG. The nodes are CPT nodes (equation nodes when every variable is
     * continuous) named by the variables, with the variables' state names as outcomes; their tables
     * are left uniform, so the network holds the structure only: learn its parameters with
     * {@link EM}. A pattern that cannot be extended to a DAG fails with code -1.
     *
     * @param data the data set that gives the nodes and their states
     * @return the network, owned by the caller
     */
    public native Network makeNetwork(DataSet data);
}
