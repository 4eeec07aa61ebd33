package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.nio.file.Path;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/** Solved influence diagrams and the value of information, seen from Java. */
class ValueOfInfoTest extends NetworkFixture {
    @BeforeEach
    void readOilWildcatter() {
        Path file = Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("decisions/oil_wildcatter.xvrn");
        net.readFile(file.toString());
    }

    @Test
    void aSolvedDiagramGivesPoliciesIndexedByWhatIsKnown() {
        net.updateBeliefs();
        assertArrayEquals(new double[] {77.5, -10, 160.0 / 7, -10, -1660.0 / 41, -10,
            20, 0, 20, 0, 20, 0}, net.getNodeValue("Drill"), 1e-9);
        assertArrayEquals(new String[] {"Test", "Seismic"},
                net.getValueIndexingParentIds("Drill"));
        assertArrayEquals(new double[] {22.5, 20}, net.getNodeValue("Test"), 1e-9);
    }

    @Test
    void observingOilBeforeDrillingIsWorthItsPrice() {
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            assertEquals(-1, voi.getDecision());
            assertEquals(-1, voi.getPointOfView());
            assertNull(voi.getDecisionId());
            assertNull(voi.getPointOfViewId());
            assertArrayEquals(new double[0], voi.getValues());
            assertArrayEquals(new String[] {"Test", "Drill"}, voi.getAllDecisionIds());
            assertArrayEquals(new String[] {"Test", "Seismic", "Drill"}, voi.getAllActionIds());
            voi.addNode("Oil");
            voi.setPointOfView("Test");
            voi.setDecision("Drill");
            assertEquals("Drill", voi.getDecisionId());
            assertEquals("Test", voi.getPointOfViewId());
            voi.update();
            assertArrayEquals(new double[] {32.5}, voi.getValues(), 1e-9);
            assertArrayEquals(new int[0], voi.getIndexingNodes());
            assertArrayEquals(new String[] {"Oil"}, voi.getAllNodeIds());
        }
    }

    @Test
    void refusalsNameTheNode() {
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            voi.addNode("Oil");
            refused("Cannot add node Oil to ValueOfInfo object", () -> voi.addNode("Oil"));
            refused("Cannot remove node Seismic to ValueOfInfo object",
                    () -> voi.removeNode("Seismic"));
            refused("Cannot set decision on ValueOfInfo object to node Oil",
                    () -> voi.setDecision(net.getNode("Oil")));
            refused("Cannot set point of view on ValueOfInfo object to node Payoff",
                    () -> voi.setPointOfView("Payoff"));
            refused("Invalid node handle: 99", () -> voi.addNode(99));
            engineFails("Update", -2, voi::update);
        }
    }

    @Test
    void aClosedNetworkIsRefused() {
        Network other = new Network();
        other.addNode(17, "D");
        ValueOfInfo voi = new ValueOfInfo(other);
        other.close();
        refusedAll("Native object has been released by close().",
                () -> voi.addNode(0), () -> voi.getAllDecisionIds(), voi::update,
                () -> voi.getDecisionId());
        assertArrayEquals(new int[] {0}, voi.getAllDecisions());
        voi.close();
    }
}
