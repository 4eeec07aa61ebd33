package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Color;
import java.awt.Dimension;
import java.awt.Rectangle;
import org.junit.jupiter.api.Test;

/** How a node is drawn: rectangle, colours, border and chart, in both forms. */
class AppearanceTest extends NetworkFixture {
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
