package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.Arrays;
import org.junit.jupiter.api.Test;

/**
 * Diagnosis from Java of a hybrid network: an equation target V = 12 - 4B - 3K whose values
 * below 10 are a fault, and an equation test E = 6 - 2B - 1.5K over three intervals.
 */
class DiagEquationTest extends NetworkFixture {
    static final int V = 2, E = 3, L = 4;
    static final String XML = """
            <?xml version="1.0" encoding="UTF-8"?>
            <qelta version="1.0" id="Hybrid" discsamples="100"><nodes>
            <cpt id="B" diagtype="target"><state id="ok"/><state id="flat" fault="true"/>
            <probabilities>0.85 0.15</probabilities></cpt>
            <cpt id="K" diagtype="target"><state id="ok"/><state id="kinked" fault="true"/>
            <probabilities>0.9 0.1</probabilities></cpt>
            <equation id="V" diagtype="target">
            <definition lower="0" upper="20" lowernominal="10">V=12-4*B-3*K</definition>
            <discretization><interval label="bad" upper="6"/><interval label="low" upper="10"/>
            <interval label="good" upper="20"/></discretization></equation>
            <equation id="E" diagtype="observation" ranked="true">
            <definition lower="0" upper="10">E=6-2*B-1.5*K</definition>
            <discretization><interval label="lo" upper="4"/><interval label="mid" upper="5.5"/>
            <interval label="hi" upper="10"/></discretization></equation>
            <cpt id="L" diagtype="observation" ranked="true"><state id="bright"/><state id="dim"/>
            <parents>B</parents><probabilities>0.95 0.05 0.2 0.8</probabilities></cpt>
            </nodes></qelta>
            """;

    static ObservationInfo row(DiagResults r, int node) {
        return Arrays.stream(r.observations()).filter(o -> o.node() == node).findFirst().orElseThrow();
    }

    @Test
    void equationFaultAndEquationTestCrossTheBridge() {
        net.readString(XML);
        try (DiagNetwork diag = new DiagNetwork(net)) {
            assertEquals(2, diag.getPursuedFault());
            assertEquals(-1, diag.getFaultOutcome(2));
            assertEquals(0.235, diag.getFault(2).probability(), EXACT);
            assertThrows(RuntimeException.class, () -> diag.getFaultOutcomeId(2));

            DiagResults r = diag.update();
            assertEquals(V, r.faults()[0].node());
            assertEquals(0.235, r.faults()[0].probability(), EXACT);
            ObservationInfo e = row(r, E);
            assertArrayEquals(new double[] {0.015, 0.22, 0.765}, e.observationProbabilities(), EXACT);
            // Each outcome gives one probability for the one pursued fault: its intervals summed.
            assertArrayEquals(new double[] {1, 1, 0}, e.faultProbabilities(), EXACT);
            assertEquals(3, e.outcomeStrengths().length);
            double bright = 0.85 * 0.95 + 0.15 * 0.2;
            assertEquals(1 - 0.85 * 0.9 * 0.95 / bright, row(r, L).faultProbabilities()[0], EXACT);

            // A number observed on E counts as its interval; E is listed but not ranked.
            net.setContEvidence(E, 6.0);
            r = diag.update();
            assertEquals(0.0, diag.getFault(2).probability(), EXACT);
            e = row(r, E);
            assertEquals(-1.0, e.netStrength(), EXACT);
            assertNull(e.observationProbabilities());
        }
    }
}
