package qelta;

import java.util.Objects;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.function.LongConsumer;

/**
 * A diagnosis session over a network whose nodes carry diagnostic roles
 * (faults on target nodes, tests on observation nodes).
 *
 * <p>The session ranks the unperformed tests for the pursued faults and the
 * faults by probability. Entering and retracting observations changes the
 * network's evidence. A new session pursues the most likely fault.
 *
 * <p>Every method reports a failure by throwing {@link QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>", a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 *
 * <p>The session refers to its network: it keeps the network reachable.
 * Closing the network closes its sessions first; their methods then fail.
 */
public final class DiagNetwork extends Wrapper {
    /** The network of the session; the native methods read it by this name. */
    private final Network net;

    /**
     * Starts a session on the network.
     *
     * @param net the network; its evidence changes as observations are made
     */
    public DiagNetwork(Network net) {
        this.net = Objects.requireNonNull(net, "net");
        long handle = createNative(net);
        Deletion deletion = new Deletion(handle);
        adopt(handle, deletion, net);
        net.addDiagSession(this, deletion);
    }

    /**
     * Deletes the native session exactly once, whoever comes first: {@link #close()}, the
     * cleaner, or the network's {@code close()} when this object was already unreachable. It
     * holds the address, never this object.
     */
    static final class Deletion implements LongConsumer {
        private final long handle;
        private final AtomicBoolean done = new AtomicBoolean();

        Deletion(long handle) {
            this.handle = handle;
        }

        @Override
        public void accept(long ignored) {
            run();
        }

        /** Deletes the native session unless that has happened. */
        void run() {
            if (done.compareAndSet(false, true)) {
                deleteNative(handle);
            }
        }

        boolean isDone() {
            return done.get();
        }
    }

    /** Makes the native session on the network given as the argument. */
    private native long createNative(Object net);

    /** Deletes a native session made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    // -------- Algorithms

    /**
     * The algorithm that ranks tests while fewer than two faults are pursued (0x800 on a new
     * session).
     *
     * @return the algorithm code
     */
    public native int getSingleFaultAlgorithm();

    /**
     * Selects the algorithm that ranks tests while fewer than two faults are pursued.
     *
     * @param algorithm 0x200, 0x400 or 0x800
     */
    public native void setSingleFaultAlgorithm(int algorithm);

    /**
     * The algorithm that ranks tests while several faults are pursued (0x101 on a new session).
     *
     * @return the algorithm code
     */
    public native int getMultiFaultAlgorithm();

    /**
     * Selects the algorithm that ranks tests while several faults are pursued.
     *
     * @param algorithm one of 0x101 to 0x105, 0x41, 0x81, 0x0C, 0x14, 0x24, 0x0A, 0x12, 0x22
     */
    public native void setMultiFaultAlgorithm(int algorithm);

    /**
     * Whether fault beliefs are updated only for faults that the observations can influence.
     *
     * @return true when enabled
     */
    public native boolean getDSep();

    /**
     * Sets whether fault beliefs are updated only for faults that the observations can influence.
     *
     * @param enabled true to enable
     */
    public native void setDSep(boolean enabled);

    // -------- Faults

    /**
     * Pursues one fault.
     *
     * @param faultIndex index of the fault in the session's fault list
     */
    public native void setPursuedFault(int faultIndex);

    /**
     * Pursues several faults.
     *
     * @param faults the fault indices, at least one
     */
    public native void setPursuedFaults(int[] faults);

    /**
     * The pursued fault.
     *
     * @return the fault index, or -2 unless exactly one fault is pursued
     */
    public native int getPursuedFault();

    /**
     * The pursued faults.
     *
     * @return the fault indices, in the order given
     */
    public native int[] getPursuedFaults();

    /**
     * The fault with the highest current probability.
     *
     * @return the fault index, or -2 when there are no faults
     */
    public native int findMostLikelyFault();

    /**
     * The number of faults of the session.
     *
     * @return the number of faults
     */
    public native int getFaultCount();

    /**
     * One fault of the session.
     *
     * @param faultIndex index of the fault in the session's fault list
     * @return the fault's node, outcome, probability (0 when not computed) and pursued state
     */
    public native FaultInfo getFault(int faultIndex);

    /**
     * The node of a fault.
     *
     * @param faultIndex index of the fault in the session's fault list
     * @return the node handle
     */
    public native int getFaultNode(int faultIndex);

    /**
     * The identifier of the node of a fault.
     *
     * @param faultIndex index of the fault in the session's fault list
     * @return the node identifier
     */
    public native String getFaultNodeId(int faultIndex);

    /**
     * The outcome of a fault.
     *
     * @param faultIndex index of the fault in the session's fault list
     * @return the outcome index
     */
    public native int getFaultOutcome(int faultIndex);

    /**
     * The identifier of the outcome of a fault.
     *
     * @param faultIndex index of the fault in the session's fault list
     * @return the outcome identifier
     */
    public native String getFaultOutcomeId(int faultIndex);

    /**
     * Finds the fault of a node and outcome.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the fault index
     */
    public native int getFaultIndex(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getFaultIndex(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the fault index
     */
    public native int getFaultIndex(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getFaultIndex(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the fault index
     */
    public native int getFaultIndex(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getFaultIndex(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the fault index
     */
    public native int getFaultIndex(String nodeId, String outcomeId);

    // -------- Session

    /**
     * Clears all evidence of the network and starts the session again.
     */
    public native void restart();

    /**
     * Updates the fault beliefs and ranks the unperformed tests and the faults.
     *
     * @return both rankings
     */
    public native DiagResults update();

    /**
     * The number of tests not performed yet.
     *
     * @return the number of tests
     */
    public native int getUnperformedTestCount();

    /**
     * The tests not performed yet, in the session's order.
     *
     * @return the observation node handles
     */
    public native int[] getUnperformedObservations();

    /**
     * The identifiers of the tests not performed yet.
     *
     * @return the observation node identifiers
     */
    public native String[] getUnperformedObservationIds();

    /**
     * Whether all mandatory observations have been made.
     *
     * @return true when every mandatory observation has evidence
     */
    public native boolean mandatoriesInstantiated();

    /**
     * Enters the result of a test.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     */
    public native void instantiateObservation(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #instantiateObservation(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     */
    public native void instantiateObservation(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #instantiateObservation(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     */
    public native void instantiateObservation(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #instantiateObservation(int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     */
    public native void instantiateObservation(String nodeId, String outcomeId);

    /**
     * Retracts the result of a test; a ranked test becomes unperformed again.
     *
     * @param nodeHandle handle of the node
     */
    public native void releaseObservation(int nodeHandle);

    /**
     * Same as {@link #releaseObservation(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void releaseObservation(String nodeId);
}
