package qelta.learning;

import qelta.Network;
import qelta.Wrapper;

/**
 * Structure learning by Bayesian search: a search over network structures
 * scored against the data, restarted a number of times, within the limits of
 * the background knowledge.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 */
public final class BayesianSearch extends Wrapper {
    /** Score of the last successful learn; the native methods write it by this name. */
    private double lastScore = Double.NaN;

    /** Creates the learner with its default options. */
    public BayesianSearch() {
        adopt(createNative(null), BayesianSearch::deleteNative);
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
     * The time limit of the search (none by default).
     *
     * @return the limit in seconds; 0 means none
     */
    public native int getMaxSearchTime();

    /**
     * Sets the time limit of the search.
     *
     * @param seconds the limit; 0 or less means none
     */
    public native void setMaxSearchTime(int seconds);

    /**
     * The number of search iterations (20 by default).
     *
     * @return the count
     */
    public native int getIterationCount();

    /**
     * Sets the number of search iterations. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param count the count, 1 or more
     */
    public native void setIterationCount(int count);

    /**
     * The link probability of the search (0.1 by default).
     *
     * @return the probability
     */
    public native double getLinkProbability();

    /**
     * Sets the link probability of the search. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param probability the probability, from 0 to 1
     */
    public native void setLinkProbability(double probability);

    /**
     * The prior link probability of the search (0.001 by default).
     *
     * @return the probability
     */
    public native double getPriorLinkProbability();

    /**
     * Sets the prior link probability of the search. The score takes its logarithm and that of
     * its complement, so 0 and 1 are out of range too. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param probability the probability, above 0 and below 1
     */
    public native void setPriorLinkProbability(double probability);

    /**
     * The equivalent sample size of the prior (50 by default).
     *
     * @return the sample size
     */
    public native int getPriorSampleSize();

    /**
     * Sets the equivalent sample size of the prior. A value out of range is refused with {@link qelta.QELTAException#NO_CODE}, naming the
     * argument, the value and the range, and the setting stays.
     *
     * @param size the sample size, 1 or more
     */
    public native void setPriorSampleSize(int size);

    /**
     * The seed of the search's random choices (0 by default).
     *
     * @return the seed
     */
    public native int getRandSeed();

    /**
     * Sets the seed of the search's random choices.
     *
     * @param seed the seed
     */
    public native void setRandSeed(int seed);

    /**
     * The background knowledge the search applies.
     *
     * @return a copy of the knowledge, owned by the caller
     */
    public native BkKnowledge getBkKnowledge();

    /**
     * Sets the background knowledge the search applies. The learner keeps a copy; later changes to
     * the argument do not reach it.
     *
     * @param knowledge the knowledge to copy
     */
    public native void setBkKnowledge(BkKnowledge knowledge);

    /**
     * Learns a network structure and its parameters by Bayesian search. On success
     * {@link #getLastScore()} gives the score of the structure.
     *
     * @param data the data: at least 3 records and 2 variables, no missing values, no continuous or
     *     constant variables
     * @return the learned network, owned by the caller
     */
    public native Network learn(DataSet data);
}
