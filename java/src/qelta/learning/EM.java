package qelta.learning;

import qelta.Network;
import qelta.QELTAException;
import qelta.Wrapper;

/**
 * Parameter learning by expectation maximisation: learns the tables of an
 * existing network from data, in place. Data may have missing values.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class EM extends Wrapper {
    /** Score of the last successful learn; the native methods write it by this name. */
    private double lastScore = Double.NaN;

    /** The stopping options and the passes of the last learn; the native methods use the names. */
    private double tolerance = 1e-4;
    private int maxPasses = Integer.MAX_VALUE;
    private int passCount;

    /** Creates the learner with its default options. */
    public EM() {
        adopt(createNative(null), EM::deleteNative);
    }

    /** Makes the native options record; the argument is not used. */
    private native long createNative(Object unused);

    /** Deletes a native options record made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * The score of the last successful {@code learn}.
     *
     * @return the score, or NaN before the first successful {@code learn}
     */
    public double getLastScore() {
        return lastScore;
    }

    /**
     * The weight of the network's existing parameters, as an equivalent sample size (0 by default).
     *
     * @return the sample size, truncated to an int
     */
    public native int getEqSampleSize();

    /**
     * Sets the weight of the network's existing parameters. Ignored while the parameters are
     * randomized or uniformized. A negative size is refused with
     * {@link qelta.QELTAException#NO_CODE}, naming the argument, and the setting stays.
     *
     * @param size the sample size, 0 or more
     */
    public native void setEqSampleSize(int size);

    /**
     * Whether EM starts from random parameters (it does by default).
     *
     * @return true when randomized
     */
    public native boolean getRandomizeParameters();

    /**
     * Sets whether EM starts from random parameters. Turning it on turns uniformizing off and sets
     * the equivalent sample size to 1.
     *
     * @param randomize true to randomize
     */
    public native void setRandomizeParameters(boolean randomize);

    /**
     * Whether EM starts from uniform parameters.
     *
     * @return true when uniformized
     */
    public native boolean getUniformizeParameters();

    /**
     * Sets whether EM starts from uniform parameters. Turning it on turns randomizing off and sets
     * the equivalent sample size to 1.
     *
     * @param uniformize true to uniformize
     */
    public native void setUniformizeParameters(boolean uniformize);

    /**
     * The seed of the random parameters (0 by default).
     *
     * @return the seed
     */
    public native int getSeed();

    /**
     * Sets the seed of the random parameters.
     *
     * @param seed the seed
     */
    public native void setSeed(int seed);

    /**
     * Whether inference inside EM uses relevance reasoning (off by default).
     *
     * @return true when enabled
     */
    public native boolean getRelevance();

    /**
     * Sets whether inference inside EM uses relevance reasoning.
     *
     * @param relevance true to enable
     */
    public native void setRelevance(boolean relevance);

    /**
     * Whether EM sets the slice count of a dynamic network from the data (on by default): see
     * {@link #setAutoSlices(boolean)}.
     *
     * @return true when enabled
     */
    public native boolean getAutoSlices();

    /**
     * Sets whether EM sets the slice count of a dynamic network from the data. When on, each
     * record is unrolled to its last slice that holds a value: missing values in the last slices
     * make the record a shorter sequence, and a terminal node's value belongs below that slice.
     * Sequences of one length whose last values may be missing want it off, with the network at
     * the data's slice count ({@link qelta.Network#setSliceCount(int)}): every record then spans
     * those slices, and its missing values are missing values.
     *
     * @param autoSlices true to enable
     */
    public native void setAutoSlices(boolean autoSlices);

    /**
     * Learns the parameters of the network from the data by expectation maximisation. On success
     * {@link #getLastScore()} gives the score and {@link #getPassCount()} the passes it ran; the
     * run stops as {@link #setTolerance(double)} and {@link #setMaxPasses(int)} say. A discrete
     * cell is read as the matched node's outcome index, as {@link DataSet#matchNetwork(Network)}
     * leaves it after pairing named states with the node's outcomes by name.
     *
     * <p>An equation node, fixed or not, among discrete nodes or data is refused with code -4
     * ("QELTA error -4 in function Learn"), the message carrying its
     * reason ("EM: unsupported mix of discrete and continuous items in network and/or
     * dataset").
     *
     * <p>Data in which no record holds a value for a matched node (no record, or only blank ones)
     * teach nothing: they are refused with code -2 ("EM: no record of the data holds a value for a
     * matched node (<i>n</i> records): nothing to learn from"), and every table stays as it was.
     *
     * @param data the data
     * @param net the network, learned in place
     * @param matching the matches of data-set columns to nodes
     * @param fixedNodeIds identifiers of the nodes whose parameters stay as they are; null for none
     */
    public native void learn(
            DataSet data, Network net, DataMatch[] matching, String[] fixedNodeIds);

    /**
     * Same as {@link #learn(DataSet, Network, DataMatch[], String[])}, with the fixed nodes given
     * by their handles.
     *
     * @param data the data
     * @param net the network, learned in place
     * @param matching the matches of data-set columns to nodes
     * @param fixedNodeHandles handles of the nodes whose parameters stay as they are; null for none
     */
    public native void learn(
            DataSet data, Network net, DataMatch[] matching, int[] fixedNodeHandles);

    /**
     * The relative tolerance of the stop (1e-4 by default): see {@link #setTolerance(double)}.
     *
     * @return the tolerance
     */
    public double getTolerance() {
        return tolerance;
    }

    /**
     * Sets when a run stops. A pass reads every record once under the current tables, adding up
     * the expected counts and the log-likelihood L of the data (the expectation), then sets every
     * learnable table from those counts (the maximisation). Before its maximisation each pass
     * tests L against the previous pass's L0: the run stops after this maximisation when L is 0,
     * when L0 is at least L (the likelihood no longer rises), or when L0 / L &lt; 1 + tolerance,
     * that is when the likelihood rose by less than the tolerance relative to |L| (never on the
     * first pass); and at the last pass {@link #setMaxPasses(int)} allows. The learned tables are
     * that last maximisation's, and {@link #getLastScore()} is L, the log-likelihood of the tables
     * before it. The default 1e-4 gives the test L0 / L &lt; 1.0001. The tables' distance left to
     * EM's fixed point falls about as fast as the tolerance, by a factor that depends on the data
     * and is large where EM closes in slowly (a node never observed, say): measured on two data
     * sets, 1e-4 left table entries 1.4e-3 and 2e-3 away and 1e-12 from 2e-11 to 1e-8; on a
     * network whose root is never observed, 1e-4 left 0.02 to 0.27, 1e-8 3e-4 to 8e-4 and 1e-12
     * about 4e-8. A
     * tolerance of 0 runs until the likelihood stops rising. Used by {@code learn}
     * and by {@link Validator#kFold(EM, int, int)} and {@link Validator#leaveOneOut(EM)}.
     *
     * @param tolerance the relative tolerance, finite and not negative
     * @throws qelta.QELTAException for a negative, infinite or NaN tolerance (code {@link
     *     qelta.QELTAException#NO_CODE}, the value named); the tolerance stays
     */
    public void setTolerance(double tolerance) {
        if (!(tolerance >= 0.0) || Double.isInfinite(tolerance)) {
            throw new QELTAException("EM tolerance must be finite and not negative: " + tolerance);
        }
        this.tolerance = tolerance;
    }

    /**
     * The cap on the passes of a run: see {@link #setMaxPasses(int)}.
     *
     * @return the cap, {@link Integer#MAX_VALUE} (the default) for none
     */
    public int getMaxPasses() {
        return maxPasses;
    }

    /**
     * Sets the most passes a run makes (see {@link #setTolerance(double)} for what a pass is). A
     * run that reaches the cap stops there as if it had converged: with a cap of 1 the tables
     * are the first maximisation's and the score the log-likelihood of the starting tables. With
     * {@link Integer#MAX_VALUE}, the default, there is no cap: the run stops on its tolerance
     * alone, or after 10,000 passes should it never stop so. Tables counted from complete data
     * take no passes and know no cap.
     *
     * @param maxPasses the cap, at least 1
     * @throws qelta.QELTAException for a cap below 1 (code {@link qelta.QELTAException#NO_CODE},
     *     the value named); the cap stays
     */
    public void setMaxPasses(int maxPasses) {
        if (maxPasses < 1) {
            throw new QELTAException("EM pass cap must be at least 1: " + maxPasses);
        }
        this.maxPasses = maxPasses;
    }

    /**
     * The passes the last successful {@code learn} ran, the last included.
     *
     * @return the passes; 0 before the first successful {@code learn}, and when the tables were
     *     counted from complete data (a static network of CPTs, every node matched, no node fixed,
     *     no value missing) or fitted by least squares (equation nodes), which take no passes
     */
    public int getPassCount() {
        return passCount;
    }
}
