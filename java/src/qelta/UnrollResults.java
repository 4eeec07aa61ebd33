package qelta;

/**
 * Result of {@link Network#unroll()}.
 *
 * <p>With P plate nodes numbered 0..P-1 in increasing handle order, entry
 * {@code t * P + k} of the map is the handle, in the unrolled network, of the
 * copy of plate node k for slice t. The caller owns the unrolled network and
 * should close it.
 *
 * @param unrolled the new, ordinary network with one copy of every plate
 *     node per slice
 * @param unrollMap handles of the copies, slice by slice
 */
public record UnrollResults(Network unrolled, int[] unrollMap) {
}
