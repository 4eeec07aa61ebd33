package qelta.learning;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;
import qelta.InstanceCounts;
import qelta.Network;
import qelta.QELTAException;

/**
 * Cells, checks, files, matching and discretization of a data set; EM, instance counts, confidence
 * intervals, distributed EM and the validator.
 */
class DataSetTest {
    static void refused(String message, Executable call) {
        QELTAException e = assertThrows(QELTAException.class, call);
        assertEquals(message, e.getMessage());
    }

    static void engineFails(String message, int code, Executable call) {
        QELTAException e = assertThrows(QELTAException.class, call);
        assertEquals(message, e.getMessage());
        assertEquals(code, e.getErrorCode());
    }

    @Test
    void indexesAndKindsAreCheckedBeforeTheEngine() {
        try (DataSet data = new DataSet()) {
            assertEquals(0, data.getRecordCount());
            assertEquals(0, data.getVariableCount());
            refused("DataSet object has no variables", () -> data.getInt(0, 0));
            refused("Invalid variable index: 0", () -> data.getVariableId(0));
            data.addIntVariable("a", -1);
            refused("DataSet object has no records", () -> data.getInt(0, 0));
            for (int r = 0; r < 10; r++) {
                data.addEmptyRecord();
            }
            refused("Invalid record index 10, valid range is 0..9", () -> data.getInt(0, 10));
            refused("Invalid variable index 1, valid range is 0..0", () -> data.getInt(1, 0));
            refused("Negative record index", () -> data.getInt(0, -1));
            refused("Negative variable index", () -> data.getInt(-1, -1));
            refused("Variable 'a' is discrete", () -> data.getFloat(0, 0));
            data.addFloatVariable("f", Float.NaN);
            refused("Variable 'f' is continuous", () -> data.setInt(1, 0, 3));
            assertTrue(data.isMissing(0, 0));
            assertTrue(data.isMissing(1, 0));
            data.setFloat(1, 2, Float.POSITIVE_INFINITY);
            assertTrue(data.isMissing(1, 2));
            data.setInt(0, 3, 7);
            assertEquals(7, data.getInt(0, 3));
            data.setMissing(0, 3);
            assertTrue(data.isMissing(0, 3));
            assertTrue(data.isDiscrete("a"));
            assertFalse(data.isDiscrete(1));
            refused("Variable does not exist in the dataset: 'zz'", () -> data.isDiscrete("zz"));
            assertEquals(-1, data.findVariable("zz"));
            refused("Unexpected null Java string.", () -> data.findVariable(null));
            engineFails("QELTA error -32 in function addIntVariable. Variable identifier 'a' is"
                    + " already in use", -32,
                    () -> data.addIntVariable("a", 0));
        }
    }

    @Test
    void stateNamesAreCopiedWhole() {
        try (DataSet data = new DataSet()) {
            data.addIntVariable("a", -1);
            data.setStateNames(0, new String[] {"x", "y"});
            refused("State name can't be null (index 1)",
                    () -> data.setStateNames(0, new String[] {"p", null}));
            assertArrayEquals(new String[] {"x", "y"}, data.getStateNames(0));
            assertThrows(QELTAException.class, () -> data.setStateNames(0, null));
            data.addFloatVariable("f", 0f);
            engineFails("QELTA error -4 in function setStateNames. Variable 'f' holds numbers: only a"
                    + " variable of ints has state names", -4,
                    () -> data.setStateNames(1, new String[] {"x"}));
        }
    }

    @Test
    void filesWriteAndReadBack(@TempDir Path dir) throws IOException {
        Path file = dir.resolve("d.txt");
        try (DataSet data = new DataSet()) {
            data.addIntVariable("a", -1);
            data.addFloatVariable("f", Float.NaN);
            data.addEmptyRecord();
            data.addEmptyRecord();
            data.setInt(0, 0, 3);
            data.setFloat(1, 1, 0.1f);
            data.writeFile(file.toString(), (char) 0, null, true);
            assertEquals("a\tf\n3\t*\n*\t0.1\n",
                    new String(Files.readAllBytes(file), StandardCharsets.UTF_8));
            refused("Invalid separator character",
                    () -> data.writeFile(file.toString(), '\u00e9', null, true));
            data.readFile(file.toString(), null, -1, Float.NaN, true);
            assertEquals(2, data.getRecordCount());
            assertEquals(0.1f, data.getFloat(1, 1));
            // A first-line cell holding the separator is quoted; one holding a separator the
            // reader prefers to it is refused.
            try (DataSet ids = new DataSet()) {
                ids.addIntVariable("a;b c", -1);
                ids.addIntVariable("d", -1);
                ids.writeFile(file.toString(), ';', null, true);
                assertEquals("\"a;b c\";d\n", Files.readString(file));
                ids.readFile(file.toString(), null, -1, Float.NaN, true);
                assertEquals("a;b c", ids.getVariableId(0));
                ids.addIntVariable("e,f", -1);
                engineFails("QELTA error -103 in function WriteFile. Id of variable 2 ('e,f')"
                        + " holds a character the reader would take for the separator", -103,
                        () -> ids.writeFile(file.toString(), ';', null, true));
            }
            String missing = dir.resolve("none.txt").toString();
            engineFails("QELTA error -103 in function ReadFile. Can't open data file: " + missing,
                    -103, () -> data.readFile(missing, null, -1, Float.NaN, true));
        }
    }

    @Test
    void columnsMatchNodesByIdentifier() {
        try (DataSet data = new DataSet(); Network net = new Network()) {
            net.addNode(18, "A");
            data.addIntVariable("B", -1);
            data.addIntVariable("A", -1);
            data.addEmptyRecord();
            data.setInt(1, 0, 1);
            assertArrayEquals(new DataMatch[] {new DataMatch(1, 0, 0)}, data.matchNetwork(net));
            refused("Network can't be null", () -> data.matchNetwork(null));
            // Named states pair with the node's outcomes by name: the cells are renumbered.
            data.setStateNames(1, new String[] {"State1", "State0"});
            data.setInt(1, 0, 0);
            data.matchNetwork(net);
            assertArrayEquals(new String[] {"State0", "State1"}, data.getStateNames(1));
            assertEquals(1, data.getInt(1, 0));
            data.setInt(1, 0, 5);
            engineFails("QELTA error -4 in function MatchNetwork. Dataset column 'A' contains value"
                    + " '5' which doesn't map to any node outcome", -4, () -> data.matchNetwork(net));
        }
    }

    @Test
    void discretizeNamesTheBins() {
        try (DataSet data = new DataSet()) {
            data.addFloatVariable("v", Float.NaN);
            for (int r = 0; r < 10; r++) {
                data.addEmptyRecord();
                data.setFloat(0, r, r);
            }
            refused("Invalid variable index 1, valid range is 0..0",
                    () -> data.discretize(1, 1, 2, "x"));
            engineFails("QELTA error -19 in function Discretize. Bin count 1 is below 2", -19,
                    () -> data.discretize(0, 1, 1, "x"));
            assertArrayEquals(new double[] {4.5}, data.discretize(0, 1, 2, "x"));
            assertTrue(data.isDiscrete(0));
            assertArrayEquals(new String[] {"x1_below_4_5", "x2_4_5_up"}, data.getStateNames(0));
            assertEquals(1, data.getInt(0, 5));
        }
    }

    private static final int CPT = 18;

    /** A -> B with P(A=0) 0.6, P(B=0|A) 0.8 and 0.3. */
    private static Network twoNodes() {
        Network net = new Network();
        net.addNode(CPT, "A");
        net.addNode(CPT, "B");
        net.addArc(0, 1);
        net.setNodeDefinition(0, new double[] {0.6, 0.4});
        net.setNodeDefinition(1, new double[] {0.8, 0.2, 0.3, 0.7});
        return net;
    }

    /** Records (A, B): 00, 01, 11, 10, 00, 11, *0, 0*. */
    private static DataSet records() {
        DataSet data = new DataSet();
        data.addIntVariable("A", -1);
        data.addIntVariable("B", -1);
        int[][] rows = {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}, {1, 1}, {-1, 0}, {0, -1}};
        for (int r = 0; r < rows.length; ++r) {
            data.addEmptyRecord();
            for (int v = 0; v < 2; ++v) {
                if (rows[r][v] >= 0) {
                    data.setInt(v, r, rows[r][v]);
                }
            }
        }
        return data;
    }

    private static final DataMatch[] MATCHES = {new DataMatch(0, 0, 0), new DataMatch(1, 1, 0)};

    @Test
    void emLearnsAndKeepsFixedNodes() {
        try (Network net = twoNodes(); DataSet data = records(); EM em = new EM()) {
            em.setUniformizeParameters(true);
            refused("No matching specified", () -> em.learn(data, net, new DataMatch[0], (int[]) null));
            refused("Invalid node identifier: 'Z'", () -> em.learn(data, net, null, new String[] {"Z"}));
            refused("Invalid node handle: 9", () -> em.learn(data, net, MATCHES, new int[] {9}));
            assertTrue(Double.isNaN(em.getLastScore()));
            em.learn(data, net, MATCHES, new String[] {"A"});
            assertArrayEquals(new double[] {0.6, 0.4}, net.getNodeDefinition(0));
            assertTrue(em.getLastScore() < 0.0);
            em.learn(data, net, MATCHES, (int[]) null);
            assertTrue(net.getNodeDefinition(0)[0] != 0.6);
        }
    }

    @Test
    void instanceCountsAndIntervals() {
        try (Network net = twoNodes(); DataSet data = records(); InstanceCounts counts = new InstanceCounts()) {
            refused("No matching specified", () -> counts.calculate(net, data, null));
            counts.calculate(net, data, MATCHES);
            refused("No nodes specified for confidence intervals calculation.",
                    () -> net.calcConfidenceIntervals(new int[0], counts, 0.9, 100, 1));
            engineFails("QELTA error -4 in function CalcConfidenceIntervals. \nNode [B] is named"
                    + " twice", -4,
                    () -> net.calcConfidenceIntervals(new int[] {1, 1}, counts, 0.9, 100, 1));
            double[][] first = net.calcConfidenceIntervals(new String[] {"B"}, counts, 0.9, 100, 7);
            double[][] second = net.calcConfidenceIntervals(new int[] {1}, counts, 0.9, 100, 7);
            assertEquals(1, first.length);
            assertEquals(4, first[0].length);
            assertArrayEquals(first[0], second[0]);
            assertTrue(first[0][0] <= first[0][1]);
            net.addNode(146, "M");
            engineFails("QELTA error -51 in function SetUniform. \nInstanceCounts: node M has"
                    + " definition type NOISY_MAX; counts need every node defined by a CPT or a"
                    + " truth table", -51, () -> counts.setUniform(net, 5));
        }
    }

    @Test
    void distributedPassAddsFamilyPosteriors(@TempDir Path dir) throws IOException {
        try (Network net = twoNodes()) {
            refused("missing counts array", () -> net.distributedHelperEM(null));
            double[] shortArray = {7.0};
            assertThrows(ArrayIndexOutOfBoundsException.class, () -> net.distributedHelperEM(shortArray));
            assertEquals(7.0, shortArray[0]);
            net.setEvidence(1, 0);
            double[] counts = new double[6];
            net.distributedHelperEM(counts);
            double pA0 = 0.6 * 0.8 / (0.6 * 0.8 + 0.4 * 0.3);
            assertEquals(pA0, counts[0], 1e-12);
            assertEquals(1 - pA0, counts[1], 1e-12);
            assertEquals(pA0, counts[2], 1e-12);
            assertEquals(1 - pA0, counts[4], 1e-12);
            assertEquals(0.0, counts[3]);
            assertTrue(net.isEvidence(1));
            // A noisy-MAX child's parameters are no table over its family: refused, the
            // reason logged once per call.
            int m = net.addNode(146, "M");
            net.addArc(0, m);
            Path log = dir.resolve("log.txt");
            net.redirectLog(log.toString());
            double[] more = new double[64];
            for (int i = 0; i < 2; i++) {
                engineFails("QELTA error -43 in function DistributedHelperEM", -43,
                        () -> net.distributedHelperEM(more));
            }
            String line = "-43: EM: the counts of node 'M' cannot be kept: a noisy-MAX node's "
                    + "parameters are not a table over the node and its parents\n";
            assertEquals(line + line, Files.readString(log));
        }
    }

    @Test
    void validatorMeasures() {
        try (Network net = twoNodes(); DataSet data = records(); EM em = new EM()) {
            refused("No matching specified", () -> new Validator(net, data, new DataMatch[0]));
            try (Validator v = new Validator(net, data, MATCHES)) {
                engineFails("QELTA error -3 in function Test. \nNo class nodes specified", -3, v::test);
                v.addClassNode("B");
                engineFails("QELTA error -32 in function AddClassNode. \nNode [B] is a class node already",
                        -32, () -> v.addClassNode(1));
                engineFails("QELTA error -4 in function GetAccuracy. \nNo results for class node [B] yet;"
                        + " run test, leaveOneOut or kFold first", -4, () -> v.getAccuracy(1, 0));
                v.test();
                assertArrayEquals(new int[] {3, 1}, v.getConfusionMatrix("B")[0]);
                assertArrayEquals(new int[] {1, 2}, v.getConfusionMatrix(1)[1]);
                assertEquals(0.75, v.getAccuracy("B", 0));
                Curve roc = v.getROC(1, 0);
                assertArrayEquals(new double[] {1, 1.0 / 3, 1.0 / 3, 0}, roc.x(), 1e-15);
                assertEquals(2.0 / 3, roc.value(), 1e-12);
                assertEquals(0.0158730159, v.getCalibrationCurveB("B", 0, 2).value(), 1e-10);
                assertEquals(0.0, v.getCalibrationCurveMA(1, 0, 1).value());
                // A window past the groups spans them all; no point is NaN.
                double[] all = v.getCalibrationCurveMA(1, 0, 2).y();
                assertArrayEquals(all, v.getCalibrationCurveMA(1, 0, Integer.MAX_VALUE).y());
                assertEquals(all[0], all[all.length - 1]);
                engineFails("QELTA error -2 in function GetCalibrationCurveB. \nBin count 0 is out of"
                        + " range: 1 to the number of validated records", -2,
                        () -> v.getCalibrationCurveB(1, 0, 0));
                try (DataSet result = v.getResultDataSet()) {
                    assertEquals("B_predicted", result.getVariableId(4));
                }
                em.setUniformizeParameters(true);
                engineFails("QELTA error -1 in function KFold. \nInvalid fold count", -1, () -> v.kFold(em, 1, 0));
                v.kFold(em, 4, 5);
                v.leaveOneOut(em);
                assertArrayEquals(new double[] {0.8, 0.2, 0.3, 0.7}, net.getNodeDefinition(1));
            }
        }
    }
}
