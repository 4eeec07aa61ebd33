package qelta.learning;

import java.util.List;
import java.util.Objects;

import qelta.Network;
import qelta.Wrapper;

/**
 * Validation of a network against a data set: tests it on every record, or
 * relearns its parameters in folds, and measures how well it predicts its
 * class nodes.
 *
 * <p>Add the class nodes, run {@link #test()}, {@link #kFold(EM, int, int)}
 * or {@link #leaveOneOut(EM)}, then read accuracies, confusion matrices and
 * curves.
 *
 * <p>Every method reports a failure by throwing {@link qelta.QELTAException}: an engine
 * failure carries the engine's negative status code and a message of the form
 * "QELTA error <i>code</i> in function <i>operation</i>" and the reasons the call
 * logged (see {@link qelta.QELTAException}), a refused argument
 * (unknown node, index out of range, null where a value is required) carries
 * a message that names it. A failed call leaves the object as it was, unless
 * the method says otherwise.
 *
 * <p>The validator refers to its network and data set: it keeps them
 * reachable, and must be closed before them.
 */
public final class Validator extends Wrapper {
    /** The network; the native methods read it by this name. */
    private final Network net;

    /** The data set the validator reads. */
    private final DataSet data;

    /**
     * Prepares the validation.
     *
     * @param net the network to validate
     * @param data the data
     * @param matching the matches of data-set columns to nodes, at least one
     */
    public Validator(Network net, DataSet data, DataMatch[] matching) {
        this.net = Objects.requireNonNull(net, "net");
        this.data = Objects.requireNonNull(data, "data");
        adopt(createNative(new Object[] {net, data, matching}), Validator::deleteNative,
                List.of(net, data));
    }

    /** Makes the native validator from {network, data set, matches}. */
    private native long createNative(Object params);

    /** Deletes a native validator made by {@link #createNative(Object)}. */
    private static native void deleteNative(long handle);

    /**
     * Adds a node whose predictions are validated. The node must be matched to a data-set column.
     *
     * <p>Only a node's own value, its first slice, can be a class: a node that a match names at a
     * later slice (a plate node's column for slice 1 or later, whether or not it is also matched
     * at slice 0) is refused with code -51, "QELTA error -51 in function AddClassNode". The
     * message carries the reason, naming the node and the slice. The other refusals say why as
     * well: -32 for a
     * node that is a class node already, -30 for a node no match names, -51 for a node matched to
     * a continuous column.
     *
     * @param nodeHandle handle of the node
     */
    public native void addClassNode(int nodeHandle);

    /**
     * Same as {@link #addClassNode(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     */
    public native void addClassNode(String nodeId);

    /**
     * Tests the network on every record of the data set.
     */
    public native void test();

    /**
     * Validates by leave-one-out: relearns the parameters without each record in turn and predicts
     * it.
     *
     * @param em the EM options used to relearn the parameters, its tolerance and pass cap included
     */
    public native void leaveOneOut(EM em);

    /**
     * Validates by k-fold cross-validation.
     *
     * @param em the EM options used to relearn the parameters, its tolerance and pass cap included
     * @param foldCount the number of folds, 2 to half the record count, or the record count
     * @param seed the seed of the fold assignment
     */
    public native void kFold(EM em, int foldCount, int seed);

    /**
     * A copy of the data set with the predictions added as columns.
     *
     * @return a new data set, owned by the caller
     */
    public native DataSet getResultDataSet();

    /**
     * The confusion matrix of a class node.
     *
     * @param nodeHandle handle of the node
     * @return a square matrix: row i counts the records of actual outcome i by predicted outcome
     */
    public native int[][] getConfusionMatrix(int nodeHandle);

    /**
     * Same as {@link #getConfusionMatrix(int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @return a square matrix: row i counts the records of actual outcome i by predicted outcome
     */
    public native int[][] getConfusionMatrix(String nodeId);

    /**
     * The accuracy of the predictions for one outcome of a class node.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the fraction of records of that outcome predicted correctly
     */
    public native double getAccuracy(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getAccuracy(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the fraction of records of that outcome predicted correctly
     */
    public native double getAccuracy(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getAccuracy(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the fraction of records of that outcome predicted correctly
     */
    public native double getAccuracy(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getAccuracy(int, int)}, with the node and the outcome given by their
     * identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the fraction of records of that outcome predicted correctly
     */
    public native double getAccuracy(String nodeId, String outcomeId);

    /**
     * The ROC curve of one outcome of a class node.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @return the curve and the area under it
     */
    public native Curve getROC(int nodeHandle, int outcomeIndex);

    /**
     * Same as {@link #getROC(int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @return the curve and the area under it
     */
    public native Curve getROC(String nodeId, int outcomeIndex);

    /**
     * Same as {@link #getROC(int, int)}, with the outcome given by its identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @return the curve and the area under it
     */
    public native Curve getROC(int nodeHandle, String outcomeId);

    /**
     * Same as {@link #getROC(int, int)}, with the node and the outcome given by their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @return the curve and the area under it
     */
    public native Curve getROC(String nodeId, String outcomeId);

    /**
     * The calibration curve of one outcome of a class node, with the predictions in bins.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param binCount the number of bins
     * @return the curve and its statistic
     */
    public native Curve getCalibrationCurveB(int nodeHandle, int outcomeIndex, int binCount);

    /**
     * Same as {@link #getCalibrationCurveB(int, int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param binCount the number of bins
     * @return the curve and its statistic
     */
    public native Curve getCalibrationCurveB(String nodeId, int outcomeIndex, int binCount);

    /**
     * Same as {@link #getCalibrationCurveB(int, int, int)}, with the outcome given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param binCount the number of bins
     * @return the curve and its statistic
     */
    public native Curve getCalibrationCurveB(int nodeHandle, String outcomeId, int binCount);

    /**
     * Same as {@link #getCalibrationCurveB(int, int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param binCount the number of bins
     * @return the curve and its statistic
     */
    public native Curve getCalibrationCurveB(String nodeId, String outcomeId, int binCount);

    /**
     * The calibration curve of one outcome of a class node, as a moving average.
     *
     * @param nodeHandle handle of the node
     * @param outcomeIndex index of the outcome
     * @param windowSize the width of the moving average
     * @return the curve
     */
    public native Curve getCalibrationCurveMA(int nodeHandle, int outcomeIndex, int windowSize);

    /**
     * Same as {@link #getCalibrationCurveMA(int, int, int)}, with the node given by its identifier.
     *
     * @param nodeId identifier of the node
     * @param outcomeIndex index of the outcome
     * @param windowSize the width of the moving average
     * @return the curve
     */
    public native Curve getCalibrationCurveMA(String nodeId, int outcomeIndex, int windowSize);

    /**
     * Same as {@link #getCalibrationCurveMA(int, int, int)}, with the outcome given by its
     * identifier.
     *
     * @param nodeHandle handle of the node
     * @param outcomeId identifier of the outcome
     * @param windowSize the width of the moving average
     * @return the curve
     */
    public native Curve getCalibrationCurveMA(int nodeHandle, String outcomeId, int windowSize);

    /**
     * Same as {@link #getCalibrationCurveMA(int, int, int)}, with the node and the outcome given by
     * their identifiers.
     *
     * @param nodeId identifier of the node
     * @param outcomeId identifier of the outcome
     * @param windowSize the width of the moving average
     * @return the curve
     */
    public native Curve getCalibrationCurveMA(String nodeId, String outcomeId, int windowSize);
}
