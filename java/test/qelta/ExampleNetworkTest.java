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

    /** Evidence: an outcome index per node, -1 for none; or likelihoods for virtual evidence. */
    private static final class Evidence {
        final int[] outcome = new int[ASIA.size()];
        final double[][] likelihood = new double[ASIA.size()][];

        Evidence() {
            java.util.Arrays.fill(outcome, -1);
        }

        Evidence observe(String id, String outcomeId) {
            int n = index(id);
            outcome[n] = List.of(ASIA.get(n).outcomes()).indexOf(outcomeId);
            return this;
        }

        Evidence weigh(String id, double... likelihoods) {
            likelihood[index(id)] = likelihoods;
            return this;
        }

        void applyTo(Network net) {
            net.clearAllEvidence();
            for (int n = 0; n < ASIA.size(); n++) {
                if (outcome[n] >= 0) {
                    net.setEvidence(ASIA.get(n).id(), outcome[n]);
                }
                if (likelihood[n] != null) {
                    net.setVirtualEvidence(ASIA.get(n).id(), likelihood[n]);
                }
            }
        }
    }

    private static int index(String id) {
        for (int n = 0; n < ASIA.size(); n++) {
            if (ASIA.get(n).id().equals(id)) {
                return n;
            }
        }
        throw new IllegalArgumentException(id);
    }

    /** Posterior of every node by summing the joint distribution over all configurations. */
    private static double[][] enumerate(Evidence evidence) {
        return enumerate(evidence, new double[1]);
    }

    /** As {@link #enumerate(Evidence)}; probability[0] receives the weight of the evidence. */
    private static double[][] enumerate(Evidence evidence, double[] probability) {
        int count = ASIA.size();
        double[][] posterior = new double[count][];
        for (int n = 0; n < count; n++) {
            posterior[n] = new double[ASIA.get(n).outcomes().length];
        }
        int[] state = new int[count];
        double total = 0;
        while (true) {
            double p = 1;
            for (int n = 0; n < count && p != 0; n++) {
                Node node = ASIA.get(n);
                if (evidence.outcome[n] >= 0 && evidence.outcome[n] != state[n]) {
                    p = 0;
                    break;
                }
                int column = 0;
                for (String parent : node.parents()) {
                    int q = index(parent);
                    column = column * ASIA.get(q).outcomes().length + state[q];
                }
                p *= node.table()[column * node.outcomes().length + state[n]];
                if (evidence.likelihood[n] != null) {
                    p *= evidence.likelihood[n][state[n]];
                }
            }
            total += p;
            for (int n = 0; n < count; n++) {
                posterior[n][state[n]] += p;
            }
            // Next configuration, last node fastest.
            int n = count - 1;
            while (n >= 0 && ++state[n] == ASIA.get(n).outcomes().length) {
                state[n--] = 0;
            }
            if (n < 0) {
                break;
            }
        }
        for (double[] beliefs : posterior) {
            for (int i = 0; i < beliefs.length; i++) {
                beliefs[i] /= total;
            }
        }
        probability[0] = total;
        return posterior;
    }

    private static void assertPosteriors(Network net, Evidence evidence) {
        evidence.applyTo(net);
        net.updateBeliefs();
        double[][] expected = enumerate(evidence);
        for (int n = 0; n < ASIA.size(); n++) {
            String id = ASIA.get(n).id();
            assertArrayEquals(expected[n], net.getNodeValue(id), EXACT, id);
        }
    }

    private static List<Evidence> scenarios() {
        return List.of(
                new Evidence(),
                new Evidence().observe("VisitAsia", "visit").observe("Dyspnea", "present"),
                new Evidence().observe("XRay", "abnormal").observe("Smoking", "smoker"),
                new Evidence().observe("Dyspnea", "absent").observe("Bronchitis", "present")
                        .observe("XRay", "normal"),
                new Evidence().observe("TbOrCa", "yes").observe("VisitAsia", "no_visit"),
                new Evidence().weigh("XRay", 0.8, 0.3).observe("Dyspnea", "present"),
                new Evidence().weigh("Smoking", 0.25, 1).weigh("Tuberculosis", 0.9, 0.1));
    }

    @Test
    void theFileHoldsThePublishedModel() {
        assertEquals("Asia", fromFile.getId());
        assertEquals(ASIA.size(), fromFile.getNodeCount());
        for (Node n : ASIA) {
            assertEquals(n.type(), fromFile.getNodeType(n.id()), n.id());
            assertArrayEquals(n.outcomes(), fromFile.getOutcomeIds(n.id()), n.id());
            assertArrayEquals(n.parents(), fromFile.getParentIds(n.id()), n.id());
            assertArrayEquals(n.table(), fromFile.getNodeDefinition(n.id()), 0.0, n.id());
        }
        assertEquals("Visit to Asia", fromFile.getNodeName("VisitAsia"));
    }

    @Test
    void posteriorsFromTheFileMatchEnumeration() {
        for (Evidence evidence : scenarios()) {
            assertPosteriors(fromFile, evidence);
        }
    }

    @Test
    void theNetworkBuiltCallByCallGivesTheSameBeliefs() {
        for (Evidence evidence : scenarios()) {
            assertPosteriors(byCalls, evidence);
            evidence.applyTo(fromFile);
            fromFile.updateBeliefs();
            for (Node n : ASIA) {
                assertArrayEquals(fromFile.getNodeValue(n.id()), byCalls.getNodeValue(n.id()),
                        EXACT, n.id());
            }
        }
    }

    @Test
    void theProbabilityOfTheEvidenceMatchesEnumeration() {
        for (Evidence evidence : scenarios().subList(0, 5)) {
            double[] expected = new double[1];
            enumerate(evidence, expected);
            evidence.applyTo(fromFile);
            assertEquals(expected[0], fromFile.probEvidence(), EXACT);
        }
    }

}
