package qelta;

/**
 * Result of {@link Network#annealedMap(int[], AnnealedMapTuning)}: the best
 * joint assignment found for the MAP nodes.
 *
 * @param probM1E probability of the assignment given the evidence
 * @param probE probability of the evidence
 * @param mapStates one outcome index per MAP node, in the order the MAP nodes
 *     were given
 */
public record AnnealedMapResults(double probM1E, double probE, int[] mapStates) {
}
