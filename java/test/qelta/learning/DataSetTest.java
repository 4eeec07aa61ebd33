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
import qelta.Network;
import qelta.QELTAException;

/** Cells, checks, files, matching and discretization of a data set. */
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
            engineFails("QELTA error -32 in function addIntVariable", -32,
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
            engineFails("QELTA error -4 in function setStateNames", -4,
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
            engineFails("QELTA error -19 in function Discretize", -19,
                    () -> data.discretize(0, 1, 1, "x"));
            assertArrayEquals(new double[] {4.5}, data.discretize(0, 1, 2, "x"));
            assertTrue(data.isDiscrete(0));
            assertArrayEquals(new String[] {"x1_below_4_5", "x2_4_5_up"}, data.getStateNames(0));
            assertEquals(1, data.getInt(0, 5));
        }
    }
}
