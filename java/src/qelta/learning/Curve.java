package qelta.learning;

/**
 * A curve of a validation: points given by their two coordinate arrays,
 * plus one number that belongs to the curve.
 *
 * <p>For a ROC curve the points are (false-positive rate, true-positive rate)
 * and the number is the area under the curve; for a binned calibration curve
 * the number is the curve's statistic; for a moving-average calibration curve
 * it is 0.
 *
 * @param x first coordinates of the points
 * @param y second coordinates of the points, as many as {@code x}
 * @param value the number that comes with the curve
 */
public record Curve(double[] x, double[] y, double value) {
}
