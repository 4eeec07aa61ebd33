package qelta;

/**
 * A temporal relation of a node in a dynamic network: the other node and the
 * order of the arc that links them (order k links slice t to slice t + k).
 *
 * @param handle handle of the other node
 * @param id identifier of the other node
 * @param order order of the temporal arc, 1 or more
 */
public record TemporalInfo(int handle, String id, int order) {
}
