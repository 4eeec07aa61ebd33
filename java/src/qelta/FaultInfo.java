package qelta;

/**
 * One fault of a diagnosis session: an outcome of a target node.
 *
 * @param index position of the fault in the session's fault list
 * @param node handle of the fault's node
 * @param outcome outcome index of the fault
 * @param probability current probability of the fault outcome; when the node's
 *     value is not valid, 0 from {@link DiagNetwork#getFault(int)} and
 *     5 &times; {@link Double#MIN_NORMAL} from {@link DiagNetwork#update()}
 * @param isPursued whether the session pursues this fault
 */
public record FaultInfo(int index, int node, int outcome, double probability, boolean isPursued) {
}
