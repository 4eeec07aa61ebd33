package qelta;

/**
 * One unperformed test of a diagnosis session, as ranked by
 * {@link DiagNetwork#update()}.
 *
 * <p>With F the outcome count of the test node and P the number of pursued
 * faults, the three arrays hold F, P &times; F and F values; each is null when
 * the ranking computed none.
 *
 * <p>The strength and net strength are those of the session's algorithm (see
 * {@link DiagNetwork}). Algorithms that rate a test by its net strength alone
 * (single-fault code 0x800 and every multiple-fault code) report the net
 * strength as the strength too.
 *
 * @param node handle of the observation node
 * @param strength the test's strength; the net strength when the algorithm
 *     reports no strength of its own
 * @param cost the cost of performing the test (a negative cost counts as 0)
 * @param netStrength the strength less alpha (the network's user property
 *     "DIAG_alphaValue", 1.0 by default) times the cost when the cost is
 *     positive, else the strength; tests are ordered by the absolute value
 *     of the strength before the cost less alpha times the cost (see
 *     {@link DiagResults})
 * @param observationProbabilities current probability of each outcome of the
 *     test
 * @param faultProbabilities for each outcome of the test, the probability of
 *     each pursued fault after observing it (outcome-major: the P values of
 *     outcome 0 first)
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
