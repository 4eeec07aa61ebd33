package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static qelta.NetworkFixture.CPT;
import static qelta.NetworkFixture.EXACT;
import static qelta.NetworkFixture.TRUTH_TABLE;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The chest-clinic network shipped with the example program: read from its file and built call by
 * call, both checked against exact enumeration of the joint distribution done here.
 */
class ExampleNetworkTest {
    /** The published model: identifier, type, outcomes, parents, table (own outcome fastest). */
    private record Node(String id, int type, String[] outcomes, String[] parents, double[] table) {}

    private static final List<Node> ASIA = List.of(
            new Node("VisitAsia", CPT, ids("visit", "no_visit"), ids(), table(0.01, 0.99)),
            new Node("Tuberculosis", CPT, ids("present", "absent"), ids("VisitAsia"),
                    table(0.05, 0.95, 0.01, 0.99)),
            new Node("Smoking", CPT, ids("smoker", "nonsmoker"), ids(), table(0.5, 0.5)),
            new Node("LungCancer", CPT, ids("present", "absent"), ids("Smoking"),
                    table(0.1, 0.9, 0.01, 0.99)),
            new Node("Bronchitis", CPT, ids("present", "absent"), ids("Smoking"),
                    table(0.6, 0.4, 0.3, 0.7)),
            new Node("TbOrCa", TRUTH_TABLE, ids("yes", "no"), ids("Tuberculosis", "LungCancer"),
                    table(1, 0, 1, 0, 1, 0, 0, 1)),
            new Node("XRay", CPT, ids("abnormal", "normal"), ids("TbOrCa"),
                    table(0.98, 0.02, 0.05, 0.95)),
            new Node("Dyspnea", CPT, ids("present", "absent"), ids("TbOrCa", "Bronchitis"),
                    table(0.9, 0.1, 0.7, 0.3, 0.8, 0.2, 0.1, 0.9)));

    private static String[] ids(String... ids) {
        return ids;
    }

    private static double[] table(double... items) {
        return items;
    }

    private final List<Network> networks = new ArrayList<>();

    private Network fromFile;
    private Network byCalls;

    @BeforeEach
    void setUp() {
        Path file = Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("../../examples/data/asia.xvrn").normalize();
        assertTrue(Files.isRegularFile(file), file + " missing");
        fromFile = open();
        fromFile.readFile(file.toString());
        byCalls = open();
        for (Node n : ASIA) {
            byCalls.addNode(n.type(), n.id());
            int[] fresh = new int[n.outcomes().length];
            java.util.Arrays.fill(fresh, -1);
            byCalls.setOutcomes(n.id(), n.outcomes(), fresh);
            for (String parent : n.parents()) {
                byCalls.addArc(parent, n.id());
            }
            byCalls.setNodeDefinition(n.id(), n.table());
        }
    }

    private Network open() {
        Network net = new Network();
        networks.add(net);
        return net;
    }

    @AfterEach
    void tearDown() {
        for (Network net : networks) {
            net.close();
        }
    }

    /** Sets evidence (outcome ids; null for none) and virtual evidence, then updates. */
    private static void update(Network net, String[] observed, String weighed, double... weights) {
        net.clearAllEvidence();
        for (int n = 0; n < observed.length; n += 2) {
            net.setEvidence(observed[n], observed[n + 1]);
        }
        if (weighed != null) {
            net.setVirtualEvidence(weighed, weights);
        }
        net.updateBeliefs();
    }

    /**
     * The file holds the published model: built call by call it gives the file's beliefs. The
     * engine's own posteriors are checked against enumeration in the C++ tests.
     */
    @Test
    void theNetworkBuiltCallByCallGivesTheFilesBeliefs() {
        assertEquals("Asia", fromFile.getId());
        assertEquals(ASIA.size(), fromFile.getNodeCount());
        String[][] observations = {
            {}, {"VisitAsia", "visit", "Dyspnea", "present"},
            {"XRay", "abnormal", "Smoking", "smoker"}, {"TbOrCa", "yes"}};
        for (String[] observed : observations) {
            for (Network net : List.of(fromFile, byCalls)) {
                update(net, observed, "XRay", 0.8, 0.3);
            }
            for (Node n : ASIA) {
                assertArrayEquals(fromFile.getNodeValue(n.id()), byCalls.getNodeValue(n.id()),
                        EXACT, n.id());
            }
        }
        update(fromFile, new String[0], null);
        assertArrayEquals(new double[] {0.5, 0.5}, fromFile.getNodeValue("Smoking"), EXACT);
    }

    @Test
    void theProbabilityOfTheEvidenceIsThePriorOfTheObservedRoots() {
        update(fromFile, new String[] {"VisitAsia", "visit", "Smoking", "nonsmoker"}, null);
        assertEquals(0.01 * 0.5, fromFile.probEvidence(), EXACT);
        update(fromFile, new String[0], null);
        assertEquals(1.0, fromFile.probEvidence(), EXACT);
    }
}
