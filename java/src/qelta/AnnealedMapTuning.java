package qelta;

/**
 * Tuning of the simulated annealing behind
 * {@link Network#annealedMap(int[], AnnealedMapTuning)}.
 *
 * <p>A new object holds the library's defaults. The network keeps the last
 * tuning it accepted and uses it for later searches; a tuning it refuses
 * ({@code speed} outside 0.5..0.99, {@code Tmin}, {@code Tinit} or
 * {@code kReheat} not positive, {@code Tinit} not above {@code Tmin},
 * {@code numCycle} below 1, or {@code iReheatSteps} outside
 * 1..{@code iStopSteps}) leaves the earlier one in force.
 *
 * <p>The fields keep the names the native library reads.
 */
public class AnnealedMapTuning {
    /** Cooling factor applied to the temperature at each step. */
    public double speed = 0.8;
    /** Lowest temperature. */
    public double Tmin = 0.001;
    /** Starting temperature. */
    public double Tinit = 0.99;
    /** Reheating factor. */
    public double kReheat = 0.1;
    /** Reserved; the search does not read it. */
    public int kMAP = 0;
    /** Reserved; the search does not read it. */
    public double kRFC = 0.0;
    /** Number of annealing cycles. */
    public int numCycle = 1;
    /** Steps without improvement after which the temperature is raised again. */
    public int iReheatSteps = 10;
    /** Steps without improvement after which the search stops. */
    public int iStopSteps = 20;
    /** Seed of the search's random choices; 0 takes a seed from the clock. */
    public int randSeed = 0;
}
