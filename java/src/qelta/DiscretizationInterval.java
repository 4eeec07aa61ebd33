package qelta;

/**
 * One interval of the discretization of an equation node. Intervals come in
 * ascending order; each ends at its boundary and begins where the previous
 * one ends (the first at the node's lower bound).
 *
 * @param id outcome identifier of the interval
 * @param boundary upper boundary of the interval
 */
public record DiscretizationInterval(String id, double boundary) {
}
