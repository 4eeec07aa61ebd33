package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Diagnosis sessions from Java on a troubleshooting network: targets B, S, F with faults flat,
 * worn, broken, empty; a test group H; ranked observations L, C, G, T, O.
 */
class DiagnosisTest extends NetworkFixture {
    static final int B = 0, S = 1, H = 3, L = 4, C = 5, G = 6, T = 7, O = 8;
    static final double NA = 4 * Double.MIN_NORMAL;

    @BeforeEach
    void readNetwork() {
        net.readFile(Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("diagnosis_troubleshoot.xvrn").toString());
    }

    void addCosts() {
        net.setNodeCost(L, new double[] {1});
        net.setNodeCost(C, new double[] {3});
        net.setNodeCost(G, new double[] {2});
        net.setNodeCost(H, new double[] {4});
        net.addCostArc("H", "T");
        net.addCostArc(H, O);
        net.setNodeCost(T, new double[] {NA, 1});
        net.setNodeCost("O", new double[] {NA, 2});
        net.setNodeUserProperties(H, new UserProperty[] {new UserProperty("DIAG_TESTGROUPCOST", "True")});
        net.setUserProperties(new UserProperty[] {new UserProperty("DIAG_alphaValue", "0.1")});
    }

    static ObservationInfo row(DiagResults r, int node) {
        return Arrays.stream(r.observations()).filter(o -> o.node() == node).findFirst().orElseThrow();
    }

    static int[] order(DiagResults r) {
        return Arrays.stream(r.observations()).mapToInt(ObservationInfo::node).toArray();
    }

    @Test
    void newSessionPursuesTheMostLikelyFaultAndRanksTests() {
        try (DiagNetwork diag = new DiagNetwork(net)) {
            assertEquals(0, diag.getPursuedFault());
            assertEquals(4, diag.getFaultCount());
            assertEquals("S", diag.getFaultNodeId(2));
            assertEquals("broken", diag.getFaultOutcomeId(2));
            assertEquals(3, diag.getFaultIndex("F", "empty"));
            assertEquals(new FaultInfo(1, S, 1, 0.10, false).node(), diag.getFault(1).node());
            assertEquals(0.10, diag.getFault(1).probability(), EXACT);
            // The engine's numbers for every algorithm are checked natively; here one
            // ranking proves the results cross the bridge field by field.
            diag.setSingleFaultAlgorithm(0x800);
            DiagResults r = diag.update();
            assertEquals(0.588461538462, row(r, L).netStrength(), 1e-9);
            assertEquals(0.0, row(r, G).netStrength(), 1e-12);
            ObservationInfo c = row(r, C);
            assertArrayEquals(new double[] {0.74075, 0.152775, 0.106475}, c.observationProbabilities(), 1e-9);
            assertArrayEquals(new double[] {0.018326021, 0.549337261, 0.493073491}, c.faultProbabilities(), 1e-9);
            assertArrayEquals(new double[] {-0.131673979, 0.399337261, 0.343073491}, c.outcomeStrengths(), 1e-9);
            assertEquals(0, r.faults()[0].index());
            assertTrue(r.faults()[0].isPursued());
            assertEquals(0.15, r.faults()[0].probability(), 1e-12);
        }
    }

    @Test
    void costsOrderTheTests() {
        addCosts();
        try (DiagNetwork diag = new DiagNetwork(net)) {
            diag.setSingleFaultAlgorithm(0x200);
            DiagResults r = diag.update();
            // Strengths .47 .42 0 .20 0 less 0.1 times costs 1 3 2 5 6.
            assertArrayEquals(new int[] {L, C, G, T, O}, order(r));
            assertEquals(5.0, row(r, T).cost());
            assertEquals(6.0, row(r, O).cost());
            diag.instantiateObservation("T", "corroded");
            diag.setSingleFaultAlgorithm(0x800);
            r = diag.update();
            // C's change -0.41 less 0.3 keys 0.11: after L's 0.43 less 0.1.
            assertArrayEquals(new int[] {L, C, G, O}, order(r));
            assertEquals(2.0, row(r, O).cost());
            assertEquals(-0.713559, row(r, C).netStrength(), 1e-6);
            diag.releaseObservation(T);
            net.setEvidence(H, 0);
            r = diag.update();
            // Released, T went back to the end of the test list.
            assertArrayEquals(new int[] {O, T}, Arrays.copyOfRange(order(r), 3, 5));
            assertEquals(NA, row(r, O).netStrength());
        }
    }

    @Test
    void multipleFaultsRankByTheChosenCode() {
        try (DiagNetwork diag = new DiagNetwork(net)) {
            diag.setPursuedFaults(new int[] {0, 2, 3});
            assertEquals(-2, diag.getPursuedFault());
            diag.setMultiFaultAlgorithm(0x0C);
            DiagResults r = diag.update();
            assertEquals(.439038, row(r, C).netStrength(), 1e-6);
            assertNull(row(r, C).faultProbabilities());
            diag.setMultiFaultAlgorithm(0x101);
            r = diag.update();
            assertEquals(3 * 3, row(r, C).faultProbabilities().length);
        }
    }

    @Test
    void faultsWithoutComputedValuesComeLast() {
        try (DiagNetwork diag = new DiagNetwork(net)) {
            diag.setDSep(true);
            assertTrue(diag.getDSep());
            diag.instantiateObservation("C", "none");
            FaultInfo[] faults = diag.update().faults();
            assertEquals(3, faults[3].index());  // F empty: C tells nothing of F
            assertEquals(5 * Double.MIN_NORMAL, faults[3].probability());
            assertEquals(0.0, diag.getFault(3).probability());
            for (int k = 1; k < 3; k++) {
                assertTrue(faults[k - 1].probability() >= faults[k].probability());
            }
        }
    }

    @Test
    void messages(@TempDir Path dir) throws Exception {
        try (DiagNetwork diag = new DiagNetwork(net)) {
            refused("Invalid fault index 4; valid indices are 0..3", () -> diag.getFault(4));
            refused("Fault indices array cannot be null", () -> diag.setPursuedFaults(null));
            engineFails("SetPursuedFaults", -2,
                    "\nPursue at least one fault; setPursuedFault names a single one",
                    () -> diag.setPursuedFaults(new int[0]));
            engineFails("FindFault", -2, "\nOutcome 0 of node [S] is no fault of the session",
                    () -> diag.getFaultIndex(S, 0));
            refusedCode("algorithm", "0x3", () -> diag.setMultiFaultAlgorithm(3));
            // Each refused update logs its reason once.
            Path mandatory = dir.resolve("mandatory.txt");
            net.redirectLog(mandatory.toString());
            net.setMandatory(C, true);
            for (int i = 0; i < 2; i++) engineFails("UpdateTestStrengths", -2, diag::update);
            String reason = "-2: Mandatory observation node C has no evidence; observe it before "
                    + "ranking tests\n";
            assertEquals(reason + reason, Files.readString(mandatory));
            assertFalse(diag.mandatoriesInstantiated());
            diag.instantiateObservation(C, 0);
            assertEquals(4, diag.getUnperformedTestCount());
            diag.update();
        }
        net.addCostArc(H, T);
        refused("Invalid cost array size for node 'T': expected 2 and got 3",
                () -> net.setNodeCost(T, new double[3]));
        refused("Unexpected null Java array.", () -> net.setNodeCost(T, null));
        for (double odd : new double[] {Double.NaN, Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY}) {
            engineFails("SetCost", -4, "Costs of node 'T' must be finite numbers",
                    () -> net.setNodeCost(T, new double[] {1, odd}));
        }
        assertArrayEquals(new double[] {0, 0}, net.getNodeCost(T));
        engineFails("AddArc", -32, () -> net.addCostArc(H, T));
        engineFails("RemoveArc", -2, () -> net.deleteCostArc(H, L));
        assertArrayEquals(new String[] {"H"}, net.getCostParentIds("T"));
        assertArrayEquals(new int[] {T}, net.getCostChildren(H));

        // An influence diagram: each update is refused, its reason logged once.
        Path log = dir.resolve("log.txt");
        net.redirectLog(log.toString());
        net.addNode(17, "Fix");
        try (DiagNetwork diag = new DiagNetwork(net)) {
            for (int i = 0; i < 2; i++) engineFails("UpdateTestStrengths", -2, diag::update);
        }
        String line = "-2: Diagnosis cannot use influence diagrams: node Fix is a decision node\n";
        assertEquals(line + line, Files.readString(log));
        // Without target nodes there is no fault to pursue.
        Path none = dir.resolve("none.txt");
        net.redirectLog(none.toString());
        net.deleteNode("Fix");
        for (int target = B; target <= 2; target++) net.setNodeDiagType(target, 2);
        try (DiagNetwork diag = new DiagNetwork(net)) {
            for (int i = 0; i < 2; i++) engineFails("UpdateTestStrengths", -2, diag::update);
        }
        line = "-2: No fault is pursued; pursue a fault before ranking tests\n";
        assertEquals(line + line, Files.readString(none));
    }

    @Test
    void editsAndClosing() {
        DiagNetwork diag = new DiagNetwork(net);
        net.setNodeDefinition(L, new double[] {.9, .1, .3, .7});
        assertEquals(0.402631578947, row(diag.update(), L).netStrength(), 1e-9);
        net.deleteNode(C);
        engineFails("UpdateTestStrengths", -2,
                "\nTest node C is no longer in the network; restart the diagnosis session",
                diag::update);
        diag.restart();
        assertEquals(4, diag.update().observations().length);
        net.close();
        refused("Native object has been released by close().", diag::update);
        refused("Native object has been released by close().", diag::getFaultCount);
        diag.close();
    }

    @Test
    void outcomeEditOfAFaultNodeNeedsARestart() {
        try (DiagNetwork diag = new DiagNetwork(net)) {
            net.insertOutcome(2, 0, "nw");
            engineFails("UpdateTestStrengths", -2,
                    "\nOutcomes of fault node F have changed; restart the diagnosis session",
                    diag::update);
            diag.restart();
            assertEquals(4, diag.update().faults().length);
            assertEquals("empty", diag.getFaultOutcomeId(3));
            assertEquals(0.05, diag.getFault(3).probability(), 1e-12);
        }
    }

    @Test
    void diagnosticAttributes() {
        int n = node("N", "a", "b");
        assertEquals(2, net.getNodeDiagType(n));
        assertEquals("", net.getNodeQuestion("N"));
        refusedCode("type", "5", () -> net.setNodeDiagType(n, 5));
        assertEquals(DiagRole.AUXILIARY, net.getNodeDiagType("N"));
        net.setNodeDiagType(n, DiagRole.OBSERVATION);
        assertEquals(1, net.getNodeDiagType("N"));
        net.setNodeQuestion("N", "Is it?");
        assertEquals("Is it?", net.getNodeQuestion(n));
        net.setRanked("N", true);
        net.setMandatory(n, true);
        assertTrue(net.isRanked(n) && net.isMandatory("N"));
        assertNull(net.getOutcomeFix(n, 0));
        assertEquals("", net.getOutcomeLabel("N", "b"));
        assertEquals(-1, net.getDefaultOutcome(n));
        assertNull(net.getDefaultOutcomeId("N"));
        net.setOutcomeFix("N", "a", "replace");
        assertEquals("replace", net.getOutcomeFix(n, "a"));
        net.setOutcomeFix(n, 0, "");
        assertNull(net.getOutcomeFix("N", 0));
        net.setOutcomeDescription(n, "b", "broken");
        assertEquals("broken", net.getOutcomeDescription("N", "b"));
        net.setOutcomeLabel(n, 0, "ok");
        net.setOutcomeLabel(L, 1, "ok");  // taken by N: silently refused
        assertEquals("", net.getOutcomeLabel(L, 1));
        net.setFaultOutcome("N", 1, true);
        assertTrue(net.isFaultOutcome(n, "b"));
        net.setDefaultOutcome("N", "b");
        assertEquals("b", net.getDefaultOutcomeId(n));
        net.setDefaultOutcome(n, -5);
        assertEquals(-5, net.getDefaultOutcome("N"));
        refused("Invalid outcome index 2 for node 'N', valid indices are 0..1",
                () -> net.setDefaultOutcome(n, 2));
        refused("Unexpected null Java string.", () -> net.setNodeQuestion(99, null));
    }
}
