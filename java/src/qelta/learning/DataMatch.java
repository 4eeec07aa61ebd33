package qelta.learning;

/**
 * The match of one data-set column to one node of a network.
 *
 * @param column index of the data-set variable
 * @param node handle of the node
 * @param slice time slice of the node (0 outside dynamic networks)
 */
public record DataMatch(int column, int node, int slice) {
}
