package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;

/** Annealed MAP through the binding: results on a benchmark network and a refused tuning. */
class AnnealedMapTest extends NetworkFixture {
    private void readAsia() {
        String shared = System.getProperty("qelta.shared");
        assumeTrue(shared != null, "qelta.shared not set; no benchmark networks");
        Path asia = Path.of(shared, "data", "networks", "net", "asia.net");
        assumeTrue(Files.exists(asia), "no " + asia);
        net.readFile(asia.toString());
    }

    @Test
    void asiaGivesTheMostProbableExplanation() {
        readAsia();
        net.setEvidence("asia", "yes");
        net.setEvidence("dysp", "yes");
        AnnealedMapTuning tuning = new AnnealedMapTuning();
        tuning.randSeed = 1;
        AnnealedMapResults r = net.annealedMap(new String[] {"tub", "lung", "bronc"}, tuning);
        assertEquals("no", net.getOutcomeId("tub", r.mapStates()[0]));
        assertEquals("no", net.getOutcomeId("lung", r.mapStates()[1]));
        assertEquals("yes", net.getOutcomeId("bronc", r.mapStates()[2]));
        assertEquals(0.70658409930299, r.probM1E(), EXACT);
        assertEquals(0.004501375, r.probE(), EXACT);
        int[] again = net.annealedMap(new String[] {"tub", "lung", "bronc"}, tuning).mapStates();
        assertArrayEquals(r.mapStates(), again);
    }

    @Test
    void aRefusedTuningFailsTheSearch() {
        net.addNode(CPT, "a");
        AnnealedMapTuning tuning = new AnnealedMapTuning();
        tuning.speed = 1.0;
        engineFails("AnnealedMAP", -2, () -> net.annealedMap(new int[] {0}, tuning));
    }
}
