package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Color;
import java.awt.Dimension;
import java.awt.Rectangle;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Random;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * How a node is drawn, and what Java sets on the drawing, properties and documentation survives a
 * file.
 */
class LayoutFileTest extends NetworkFixture {
    static final int MAIN = 32768;

    @TempDir
    Path dir;

    @Test
    void everythingSetFromJavaReadsBackFromAFile() {
        Random random = new Random(7);
        int outer = net.addSubmodel(MAIN, "Outer");
        int inner = net.addSubmodel("Outer", "Inner");
        net.setSubmodelName(outer, "Outer box");
        net.setSubmodelDescription(inner, "two\r\nlines");
        net.setSubmodelPosition(outer, -40, -30, 101, 50);
        net.setSubmodelPosition("Inner", 7, -9, 0, 1);
        net.addTextBox(inner, new TextBox("caption\r\nnext \uD83D\uDE00", new Rectangle(-5, 6, 33, 12)));
        net.addTextBox(MAIN, new TextBox("top", new Rectangle(10, 20, 101, 51)));
        net.setUserProperties(new UserProperty[] {new UserProperty("net", "1"), new UserProperty("b", "")});
        for (int i = 0; i < 12; i++) {
            int h = node("N" + i, "yes", "no");
            net.setNodePosition(h, random.nextInt(2000) - 1000, random.nextInt(2000) - 1000,
                    random.nextInt(200), random.nextInt(200));
            net.setNodeBgColor(h, new Color(random.nextInt(0x1000000)));
            net.setNodeTextColor(h, new Color(random.nextInt(0x1000000)));
            net.setNodeBorderColor(h, new Color(random.nextInt(0x1000000)));
            net.setNodeBorderWidth(h, 1 + random.nextInt(5));
            net.setNodeChartEnabled(h, random.nextBoolean());
            if (random.nextBoolean()) {
                net.setNodeChartSize(h, random.nextInt(300), random.nextInt(300));
            }
            net.setSubmodelOfNode(i % 3 == 0 ? MAIN : i % 3 == 1 ? outer : inner, h);
            net.setNodeUserProperties(h, new UserProperty[] {new UserProperty("p" + i, "v\r\n" + i)});
            net.setNodeDocumentation(h, new DocItemInfo[] {new DocItemInfo("t" + i, "file" + i + ".html")});
            net.setOutcomeDocumentation(h, i % 2, new DocItemInfo[] {
                new DocItemInfo("o", "a.txt"), new DocItemInfo("p", "b.txt")});
        }
        String file = dir.resolve("layout.xvrn").toString();
        net.writeFile(file);
        try (Network copy = new Network()) {
            copy.readFile(file);
            assertEquals(snapshot(net), snapshot(copy));
        }
    }

    /** Every getter's answer, with submodels named by identifier and place in the tree. */
    static String snapshot(Network n) {
        StringBuilder out = new StringBuilder(Arrays.toString(n.getUserProperties()));
        for (int s = n.getFirstSubmodel(); s >= 0; s = n.getNextSubmodel(s)) {
            String id = n.getSubmodelId(s);
            out.append('\n').append(id).append(' ').append(n.getSubmodelName(s)).append(' ')
                    .append(n.getSubmodelDescription(s)).append(' ').append(idOf(n, n.getSubmodelOfSubmodel(s)));
            if (s != MAIN) {
                out.append(' ').append(n.getSubmodelPosition(s));
            }
            for (int i = 0; i < n.getTextBoxCount(s); i++) {
                out.append(' ').append(n.getTextBox(s, i));
            }
        }
        for (int h = n.getFirstNode(); h >= 0; h = n.getNextNode(h)) {
            out.append('\n').append(n.getNodeId(h)).append(n.getNodePosition(h))
                    .append(n.getNodeBgColor(h)).append(n.getNodeTextColor(h))
                    .append(n.getNodeBorderColor(h)).append(n.getNodeBorderWidth(h))
                    .append(n.isNodeChartEnabled(h)).append(n.getNodeChartSize(h))
                    .append(idOf(n, n.getSubmodelOfNode(h)))
                    .append(Arrays.toString(n.getNodeUserProperties(h)))
                    .append(Arrays.toString(n.getNodeDocumentation(h)))
                    .append(Arrays.toString(n.getOutcomeDocumentation(h, 0)))
                    .append(Arrays.toString(n.getOutcomeDocumentation(h, 1)));
        }
        return out.toString();
    }

    @Test
    void filesKeepLessThanMemoryWhereDocumented() {
        int sub = net.addSubmodel(MAIN, "S");
        net.setSubmodelName(sub, "a\u0001b");
        net.setSubmodelDescription(sub, "x\ny");
        net.setSubmodelPosition(MAIN, 1, 2, 3, 4);
        net.addTextBox(sub, new TextBox("c\nd", new Rectangle(0, 0, 10, 10)));
        int h = node("N", "yes", "no");
        net.setNodeBorderWidth(h, 0);
        net.setNodePosition(h, 0, 0, -6, -8);
        net.setNodeChartSize(h, 40, UNSET);
        Rectangle mainPosition;
        try (Network fresh = new Network()) {
            mainPosition = fresh.getSubmodelPosition(MAIN);
        }
        String file = dir.resolve("less.xvrn").toString();
        // The file would read the negative size back as its absolute value.
        QELTAException refused = assertThrows(QELTAException.class, () -> net.writeFile(file));
        assertTrue(refused.getMessage().contains("Node [N] cannot be saved"), refused.getMessage());
        assertFalse(Files.exists(Path.of(file)));
        net.setNodePosition(h, 0, 0, 6, 8);
        net.writeFile(file);
        try (Network copy = new Network()) {
            copy.readFile(file);
            assertEquals("a.b", copy.getSubmodelName("S"));
            assertEquals("x\ny", copy.getSubmodelDescription("S"));
            assertEquals("c\nd", copy.getTextBox("S", 0).text());
            assertEquals(1, copy.getNodeBorderWidth("N"));
            assertEquals(new Dimension(UNSET, UNSET),
                    copy.getNodeChartSize("N"));
            assertEquals(mainPosition, copy.getSubmodelPosition(MAIN));
        }
    }

    static String idOf(Network n, int submodel) {
        return submodel == -8888 ? "root" : n.getSubmodelId(submodel);
    }

    static final int UNSET = -2147483647;

    @Test
    void newNodeTakesTheDefaultsAndStoresWhatItIsGiven() {
        int h = node("A", "yes", "no");
        assertEquals(new Rectangle(-38, -18, 76, 36), net.getNodePosition(h));
        assertEquals(1, net.getNodeBorderWidth("A"));
        assertEquals(new Color(229, 246, 247), net.getNodeBgColor(h));
        assertEquals(new Color(0, 0, 187), net.getNodeBorderColor("A"));
        assertFalse(net.isNodeChartEnabled(h));
        assertEquals(new Dimension(UNSET, UNSET), net.getNodeChartSize("A"));
        net.setNodeChartEnabled(h, true);
        net.setNodeChartSize("A", -3, 0);
        net.setNodeBorderWidth("A", -9);
        assertTrue(net.isNodeChartEnabled("A"));
        assertEquals(new Dimension(-3, 0), net.getNodeChartSize(h));
        assertEquals(-9, net.getNodeBorderWidth(h));
    }

    @Test
    void rectanglesComeBackAsGivenWhateverTheirSize() {
        int h = node("A", "yes", "no");
        int max = Integer.MAX_VALUE;
        int min = Integer.MIN_VALUE;
        int[][] rects = {{10, 20, 5, 7}, {-20, 5, 1, 10}, {3, 4, -5, -7}, {max, min, max, min}};
        for (int[] r : rects) {
            net.setNodePosition(h, r[0], r[1], r[2], r[3]);
            assertEquals(new Rectangle(r[0], r[1], r[2], r[3]), net.getNodePosition("A"));
            net.setNodePosition("A", r[1], r[0], r[3], r[2]);
            assertEquals(new Rectangle(r[1], r[0], r[3], r[2]), net.getNodePosition(h));
        }
    }

    @Test
    void coloursDropAlphaAndNullsAndBadNodesAreRefused() {
        int h = node("A", "yes", "no");
        net.setNodeBgColor(h, new Color(0x12, 0x34, 0x56, 0x80));
        net.setNodeTextColor("A", new Color(1, 2, 3));
        net.setNodeBorderColor(h, new Color(255, 0, 128, 0));
        assertEquals(new Color(0x12, 0x34, 0x56), net.getNodeBgColor("A"));
        assertEquals(0xFF, net.getNodeBgColor(h).getAlpha());
        assertEquals(new Color(1, 2, 3), net.getNodeTextColor(h));
        assertEquals(new Color(255, 0, 128), net.getNodeBorderColor("A"));
        refusedAll("Invalid node handle: 7",
                () -> net.setNodeBgColor(7, null), () -> net.getNodeTextColor(7),
                () -> net.setNodePosition(7, 0, 0, 1, 1), () -> net.getNodeChartSize(7));
        refused("Invalid node identifier: 'B'", () -> net.setNodeBorderColor("B", Color.RED));
        refusedAll("Color can't be null",
                () -> net.setNodeBgColor(h, null), () -> net.setNodeTextColor("A", null));
        assertEquals(new Color(0x12, 0x34, 0x56), net.getNodeBgColor(h));
    }
}
