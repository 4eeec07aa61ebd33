package qelta;

/**
 * Result of {@link DiagNetwork#update()}: both rankings of a diagnosis
 * session.
 *
 * <p>The tests are ordered by the absolute value of their net strength, the
 * largest first, so a test whose outcomes would lower the pursued fault's
 * probability a lot ranks high too (-0.5 comes before 0.3); tests of equal
 * absolute net strength keep the order of
 * {@link DiagNetwork#getUnperformedObservations()}. After every test with a
 * computed net strength come those whose net strength is the not-computed
 * value (5 &times; {@link Double#MIN_NORMAL}), then the not-available value
 * (4 &times; {@link Double#MIN_NORMAL}), then NaN.
 *
 * <p>The faults are ordered by probability, the most probable first; a fault
 * whose probability is not computed (its node's value is not valid; its
 * probability is then 5 &times; {@link Double#MIN_NORMAL}) comes after every
 * computed one, and a NaN probability last. At equal probability pursued
 * faults come first, then the lower fault index.
 *
 * @param observations the unperformed tests, in ranked order
 * @param faults the faults, in ranked order
 */
public record DiagResults(ObservationInfo[] observations, FaultInfo[] faults) {
}
