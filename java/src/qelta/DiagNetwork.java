package qelta;

import java.util.Objects;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.function.LongConsumer;

/**
 * A diagnosis session over a network whose nodes carry diagnostic roles
 * (faults on target nodes, tests on ranked observation nodes).
 *
 * <p>The session ranks the unperformed tests for the pursued faults and the
 * faults by probability. Entering and retracting observations changes the
 * network's evidence. A new session pursues the most likely fault; the pursued
 * faults then stay as they are, also across observations and {@link #restart()},
 * until the caller pursues others ({@link #setPursuedFault(int)},
 * {@link #setPursuedFaults(int[])}). The roles come from the network's nodes
 * ({@link Network#setNodeDiagType(int, int)}): the faults are the fault outcomes of
 * its target nodes, the tests its ranked observation nodes
 * ({@link Network#setRanked(int, boolean)}) that have no evidence. A new node is not
 * ranked: an observation node added or made so by the caller is a test only once it is
 * ranked.
 *
 * <p>The session works on Bayesian networks: a network with a decision, utility or
 * multi-attribute utility node (an influence diagram) is refused by {@link #update()}.
 *
 * <h2 id="ranking">How tests are ranked</h2>
 *
 * <p>{@link #update()} rates every unperformed test by its <i>strength</i>, how much
 * observing it is expected to move the pursued faults, and its <i>cost</i> (the
 * node's observation cost, {@link Network#setNodeCost(int, double[])}, plus the
 * set-up cost of its test group while no test of the group has been performed).
 * The <i>net strength</i> is the strength less alpha times the cost when the cost is
 * positive, and the strength when the cost is 0; alpha is the network's user
 * property "DIAG_alphaValue" (1.0 when it is absent). A negative cost counts as 0
 * (the option that keeps negative costs has no Java accessor). Tests are ordered by
 * the absolute value of what they would tell less alpha times their cost: a free test
 * of strength 0.3 comes before one of strength 0.5 and cost 2.0 (see
 * {@link DiagResults}).
 *
 * <p>With one pursued fault the single-fault algorithm rates the tests; with
 * several pursued faults that all lie on one node, code 0x200; with pursued faults
 * on several nodes, the multiple-fault algorithm.
 *
 * <table class="striped">
 * <caption>Single-fault algorithm codes ({@link #setSingleFaultAlgorithm(int)})</caption>
 * <thead><tr><th>Code</th><th>Strength of a test</th></tr></thead>
 * <tbody>
 * <tr><td>0x200 ({@link SingleFaultAlgorithm#RELATIVE_ENTROPY})</td>
 *   <td>relative entropy reduction: |H<sub>0</sub> - E| / H<sub>0</sub>,
 *   where H<sub>0</sub> is the entropy (in bits) of the pursued fault now, with the
 *   node's other outcomes lumped together, and E its expected entropy after the test
 *   (0 when H<sub>0</sub> is 0)</td></tr>
 * <tr><td>0x400 ({@link SingleFaultAlgorithm#ABSOLUTE_ENTROPY})</td>
 *   <td>absolute entropy reduction: |E - H<sub>0</sub>|</td></tr>
 * <tr><td>0x800 ({@link SingleFaultAlgorithm#PROBABILITY_CHANGE})</td>
 *   <td>the largest change of the pursued fault's probability over
 *   the test's outcomes, with its sign (the default)</td></tr>
 * </tbody>
 * </table>
 *
 * <table class="striped">
 * <caption>Multiple-fault algorithm codes ({@link #setMultiFaultAlgorithm(int)})</caption>
 * <thead><tr><th>Code</th><th>Strength of a test</th></tr></thead>
 * <tbody>
 * <tr><td>0x101 to 0x105 ({@link MultiFaultAlgorithm#LARGEST_CHANGE},
 *   {@link MultiFaultAlgorithm#NORMALISED_DISTANCE}, {@link MultiFaultAlgorithm#COSINE_DISTANCE},
 *   {@link MultiFaultAlgorithm#MEAN_ABSOLUTE_CHANGE},
 *   {@link MultiFaultAlgorithm#MEAN_OF_DISTANCE_AND_CHANGE})</td><td>measure 257 to 261 (below) between the pursued
 *   faults' probabilities now (a<sub>i</sub>) and after an outcome of the test
 *   (b<sub>i</sub>): the value of largest magnitude over the test's outcomes, with its
 *   sign; 0x101 is the default</td></tr>
 * <tr><td>0x41, 0x81 ({@link MultiFaultAlgorithm#CERTAINTY_A},
 *   {@link MultiFaultAlgorithm#CERTAINTY_B})</td><td>the change of a certainty measure of the pursued faults'
 *   probabilities p<sub>i</sub> (n faults) between now and its expected value after
 *   the test: A (0x41) (4 / n) &Sigma; (p<sub>i</sub> - 0.5)<sup>2</sup> - 1; B (0x81)
 *   the same idea around the threshold 1 - 1/n</td></tr>
 * <tr><td>0x0A, 0x12, 0x22 ({@link MultiFaultAlgorithm#ENTROPY_AT_LEAST_ONE_INDEPENDENT},
 *   {@link MultiFaultAlgorithm#ENTROPY_EXACTLY_ONE_INDEPENDENT},
 *   {@link MultiFaultAlgorithm#ENTROPY_ALL_INDEPENDENT})</td><td>the change of the entropy of the joint fault
 *   states in which at least one (0x0A), exactly one (0x12) or all (0x22) of the
 *   pursued faults are present, the fault nodes taken as independent</td></tr>
 * <tr><td>0x0C, 0x14, 0x24 ({@link MultiFaultAlgorithm#ENTROPY_AT_LEAST_ONE_JOINT},
 *   {@link MultiFaultAlgorithm#ENTROPY_EXACTLY_ONE_JOINT},
 *   {@link MultiFaultAlgorithm#ENTROPY_ALL_JOINT})</td><td>the same from the fault nodes' exact joint
 *   distribution</td></tr>
 * </tbody>
 * </table>
 *
 * <table class="striped">
 * <caption>Measures of codes 0x101 to 0x105, over the n pursued faults</caption>
 * <thead><tr><th>Code</th><th>Measure</th></tr></thead>
 * <tbody>
 * <tr><td>257 (0x101)</td><td>the largest change b<sub>i</sub> - a<sub>i</sub>, with its
 *   sign (the first of equal magnitudes)</td></tr>
 * <tr><td>258 (0x102)</td><td>normalised distance: sqrt(0.5 &Sigma; (a<sub>i</sub> /
 *   |a| - b<sub>i</sub> / |b|)<sup>2</sup>), |x| the Euclidean norm</td></tr>
 * <tr><td>259 (0x103)</td><td>cosine distance: 1 - &Sigma; a<sub>i</sub>b<sub>i</sub> /
 *   (|a| |b|)</td></tr>
 * <tr><td>260 (0x104)</td><td>mean absolute change: &Sigma; |a<sub>i</sub> -
 *   b<sub>i</sub>| / n</td></tr>
 * <tr><td>261 (0x105)</td><td>the mean of 258 and 260</td></tr>
 * </tbody>
 * </table>
 *
 * <p>A norm of 0 makes 258 and 259 NaN. A test whose every cost entry is "not
 * available" is not rated: its strength, cost and net strength are the
 * not-available value (4 &times; {@link Double#MIN_NORMAL}); with
 * {@link #setDSep(boolean)} on, a test the pursued fault's node cannot influence
 * (not one of its descendants) gets 0 for all three.
 *
 * <p>Every method reports a failure by throwing {@link QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link QELTAException}), a refused argument
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
     * The algorithm that ranks tests while fewer than two faults are pursued
     * ({@link SingleFaultAlgorithm#PROBABILITY_CHANGE} on a new session; see
     * <a href="#ranking">How tests are ranked</a>).
     *
     * @return the algorithm code, one of {@link SingleFaultAlgorithm}
     */
    public native int getSingleFaultAlgorithm();

    /**
     * Selects the algorithm that ranks tests while fewer than two faults are pursued; a code that
     * is not one of {@link SingleFaultAlgorithm} is refused with {@link QELTAException#NO_CODE},
     * naming the argument, the value and the codes allowed.
     *
     * @param algorithm one of {@link SingleFaultAlgorithm}
     */
    public native void setSingleFaultAlgorithm(int algorithm);

    /**
     * The algorithm that ranks tests while faults on several nodes are pursued
     * ({@link MultiFaultAlgorithm#LARGEST_CHANGE} on a new session; see
     * <a href="#ranking">How tests are ranked</a>).
     *
     * @return the algorithm code, one of {@link MultiFaultAlgorithm}
     */
    public native int getMultiFaultAlgorithm();

    /**
     * Selects the algorithm that ranks tests while faults on several nodes are pursued; a code
     * that is not one of {@link MultiFaultAlgorithm} is refused with {@link QELTAException#NO_CODE},
     * naming the argument, the value and the codes allowed.
     *
     * @param algorithm one of {@link MultiFaultAlgorithm}
     */
    public native void setMultiFaultAlgorithm(int algorithm);

    /**
     * Whether tests that are not descendants of a pursued fault's node are left unrated (strength,
     * cost and net strength 0); off on a new session.
     *
     * @return true when enabled
     */
    public native boolean getDSep();

    /**
     * Sets whether tests that are not descendants of a pursued fault's node are left unrated.
     *
     * @param enabled true to enable
     */
    public native void setDSep(boolean enabled);

    // -------- Faults

    /**
     * Pursues one fault instead of those pursued until now. It stays pursued until another call
     * of this method or of {@link #setPursuedFaults(int[])}.
     *
     * @param faultIndex index of the fault in the session's fault list
     */
    public native void setPursuedFault(int faultIndex);

    /**
     * Pursues several faults instead of those pursued until now, in the order given (a repeated
     * index counts twice). An empty array, or an index outside the fault list, fails with code -2
     * and changes nothing.
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
     * Clears all evidence of the network and starts the session again: the faults, the default
     * observations and the tests are collected anew. The pursued faults stay.
     */
    public native void restart();

    /**
     * Updates the fault beliefs and ranks the unperformed tests and the faults (see
     * <a href="#ranking">How tests are ranked</a> and {@link DiagResults} for the order). Fails
     * with code -2 ("QELTA error -2 in function UpdateTestStrengths") when a mandatory
     * observation has no evidence ("Mandatory observation node <i>id</i> has no evidence; observe
     * it before ranking tests") or no fault is pursued ("No fault is pursued; pursue a fault
     * before ranking tests"), the message carrying the reason, and,
     * until {@link #restart()}, after a listed fault
     * or test node was deleted or renamed or a fault node's outcomes were edited (inserted,
     * removed, reordered or renamed). It fails with the same code when the network is an
     * influence diagram (it has a decision, utility or multi-attribute utility node); that
     * refusal's message carries its reason ("Diagnosis cannot use
     * influence diagrams: node <i>id</i> is a decision node", or a utility or multi-attribute
     * utility node). Making a session on an
     * influence diagram is not refused and logs nothing.
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
