package qelta;

/**
 * Result of {@link DiagNetwork#update()}: both rankings of a diagnosis
 * session.
 *
 * <p>The tests are ordered by what they would tell less what they cost, the
 * most worth performing first. A test's rating is its strength, or, where the
 * algorithm reports none (the strength is then the net strength), its net
 * strength plus alpha times its cost; the order is by the absolute value of
 * the rating less alpha times the cost, largest first. So a free test whose
 * outcomes would lower the pursued fault's probability a lot ranks high too
 * (a free test rated -0.5 comes before one rated 0.3), while a cost always
 * pushes a test down: with alpha 1, a test of strength 0.5 and cost 2.0 (net
 * strength -1.5) comes after a free test of strength 0.3, and a test rated
 * -0.5 of cost 0.1 (net strength -0.6) before it. A test without cost is
 * placed by the absolute value of its net strength; with alpha infinite every
 * test with a cost comes after the free ones, and with alpha NaN its net
 * strength is NaN. Tests of equal key keep the order of
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
