package qelta.spark;

import qelta.Network;
import qelta.Wrapper;

/**
 * The native pieces of one EM run: on the driver it sets the starting values and maximises from
 * summed counts; on a worker it takes the driver's parameters and adds records' expected counts
 * and log-likelihood into one array. Every step is {@code EM.learn}'s own, in its order. Not
 * thread-safe: one per thread.
 */
final class NativeEm extends Wrapper {

    NativeEm(String networkText, String[] columns, String[] fixedNodes, EmOptions options) {
        adopt(
                open(networkText, columns, fixedNodes, options.eqSampleSize, options.randomize,
                        options.uniformize, options.seed, options.relevance),
                NativeEm::close);
    }

    private native long open(String text, String[] columns, String[] fixed, int eqSampleSize,
            boolean randomize, boolean uniformize, int seed, boolean relevance);

    private static native void close(long handle);

    /** Whether {@code EM.learn} would count instead, given complete data. */
    native boolean canCount();

    /** The length of a count array: every node's family table in node order, then ln P(e). */
    native int countSize();

    /** Sets the starting values as {@code EM.learn} does; answers the learnable tables. */
    native double[] start();

    native double[] parameters();

    native void setParameters(double[] values);

    /**
     * Adds records of {@code width} outcome indices each (negative: missing), the first being
     * record {@code first + 1} of the data; answers the messages of the values the engine refused.
     */
    native String[] addRecords(int[] values, int records, int width, long first);

    /** The counts and log-likelihood added since the last call; clears them. */
    native double[] takeCounts();

    /** Ends a pass from summed counts: tests convergence, then maximises. */
    native boolean endPass(double[] summed, long records, double threshold, int maxPasses);

    native int passes();

    native double score();

    native void setScore(double score);

    native void countRecords(int[] values, int records, int width);

    /** The counting learner's tables from summed counts; answers them. */
    native double[] finishCounting(double[] summed);

    /** total plus ln P of each record under the current tables, added in record order. */
    native double scoreRecords(int[] values, int records, int width, double total);

    /** Copies the learned tables into target, a network read from the same text. */
    native void apply(Network target);
}
