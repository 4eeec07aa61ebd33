package qelta;

/**
 * Result of {@link DiagNetwork#update()}: both rankings of a diagnosis
 * session.
 *
 * @param observations the unperformed tests, best first
 * @param faults the faults, most probable first (pursued before others at
 *     equal probability)
 */
public record DiagResults(ObservationInfo[] observations, FaultInfo[] faults) {
}
