package qelta;

/**
 * One unperformed test of a diagnosis session, as ranked by
 * {@link DiagNetwork#update()}.
 *
 * <p>With F the outcome count of the test node and P the number of pursued
 * faults, the three arrays hold F, P &times; F and F values; each is null when
 * the ranking computed none.
 *
 * @param node handle of the observation node
 * @param strength the test's strength
 * @param cost the cost of performing the test
 * @param netStrength the strength less the session's cost weight times the
 *     cost; the ranking order
 * @param observationProbabilities current probability of each outcome of the
 *     test
 * @param faultProbabilities for each outcome of the test, the probability of
 *     each pursued fault after observing it
 * @param outcomeStrengths the ranking measure for each outcome of the test
 */
public record ObservationInfo(
        int node,
        double strength,
        double cost,
        double netStrength,
        double[] observationProbabilities,
        double[] faultProbabilities,
        double[] outcomeStrengths) {
}
