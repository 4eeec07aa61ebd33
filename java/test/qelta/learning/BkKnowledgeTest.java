package qelta.learning;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static qelta.learning.DataSetTest.engineFails;
import static qelta.learning.DataSetTest.refused;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Variables, tiers, arcs, the file and matching of background knowledge. */
class BkKnowledgeTest {
    @Test
    void arcsAreCheckedAgainstTheVariables() {
        try (BkKnowledge bk = new BkKnowledge()) {
            assertEquals(0, bk.getVariableCount());
            refused("Invalid variable index: 0", () -> bk.getTier(0));
            bk.addForcedArc(0, 1);
            refused("Invalid variable index: 0", () -> bk.getForcedChildren(0));
            refused("Arc between variables 0 and 1 already exists.", () -> bk.addForcedArc(0, 1));
            bk.addForbiddenArc(0, 1);
        }
        try (BkKnowledge bk = new BkKnowledge()) {
            bk.addVariable("a");
            bk.addVariable("b");
            refused("Invalid variable index for arc end: 2", () -> bk.addForbiddenArc(0, 2));
            refused("Invalid variable index for arc start: -1", () -> bk.addForbiddenArc(-1, 5));
            refused("Invalid variable id: 'q'", () -> bk.addForcedArc("p", "q"));
            refused("Duplicate variable id: a", () -> bk.addVariable("a"));
            bk.addVariable("c");
            bk.addForcedArc(0, 2);
            bk.addForcedArc("b", "c");
            bk.addForcedArc(0, 1);
            assertArrayEquals(new int[] {2, 1}, bk.getForcedChildren(0));
            assertArrayEquals(new int[0], bk.getForbiddenChildren(0));
            bk.setTier(1, 3);
            bk.setTier("b", 5);
            assertEquals(5, bk.getTier(1));
            assertEquals(0, bk.getTier("a"));
            assertEquals("c", bk.getVariableId(2));
            assertEquals(2, bk.findVariable("c"));
        }
    }

    @Test
    void fileKeepsPositionsAndMatchingMovesToColumns(@TempDir Path dir) throws IOException {
        Path file = dir.resolve("k.xml");
        try (BkKnowledge bk = new BkKnowledge(); DataSet data = new DataSet()) {
            bk.addVariable("a");
            bk.addVariable("b");
            bk.addForcedArc("a", "b");
            bk.writeFile(file.toString());
            String text = new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
            assertTrue(text.contains("<variable id=\"a\" position=\"10 10 82 46\" />"), text);
            assertTrue(text.contains("<variable id=\"b\" position=\"10 92 82 128\" />"), text);
            bk.readFile(file.toString());
            assertEquals(2, bk.getVariableCount());
            data.addIntVariable("b", -1);
            data.addIntVariable("a", -1);
            bk.matchData(data);
            assertArrayEquals(new int[] {0}, bk.getForcedChildren(1));
            String missing = dir.resolve("none.xml").toString();
            engineFails("QELTA error -103 in function ReadFile. Error at 0, 0: Can't open file "
                    + missing, -103, () -> bk.readFile(missing));
            try (DataSet other = new DataSet()) {
                engineFails("QELTA error -2 in function MatchData. MatchData: there are no matches"
                        + " between dataset and background knowledge.", -2, () -> bk.matchData(other));
            }
            refused("DataSet can't be null", () -> bk.matchData(null));
        }
    }
}
