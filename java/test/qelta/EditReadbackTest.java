package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

/** What the network accepts it saves and reads back; networks on separate threads. */
class EditReadbackTest extends NetworkFixture {
    static final int PLATE = 3;
    static final int CAST = 50;
    static final int DEMORGAN = 82;

    /** The network's text, read into a fresh network, gives the same text again. */
    static void assertReadsBack(Network n) {
        String text = n.writeString();
        try (Network back = new Network()) {
            back.readString(text);
            assertEquals(text, back.writeString());
        }
    }

    int plateNode(String id, String... outcomes) {
        int h = node(id, outcomes);
        net.setNodeTemporalType(h, PLATE);
        return h;
    }

    @Test
    void outcomesWithoutIdsTakeNoSingleName() {
        net.readFile(Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("xml/nodes.xvrn").toString());
        String before = net.writeString();
        String refusal = "Outcomes of node 'Level' have empty identifiers: 's2' cannot name only one"
                + " of them";
        QELTAException added = fails(() -> net.addOutcome("Level", "s2"));
        assertEquals("QELTA error -2 in function AddOutcome. \n" + refusal, added.getMessage());
        QELTAException renamed = fails(() -> net.setOutcomeId("Level", 1, "s2"));
        assertEquals("QELTA error -2 in function RenameOutcome. \n" + refusal, renamed.getMessage());
        fails(() -> net.insertOutcome("Level", 0, "s2"));
        assertEquals(before, net.writeString());
        // Named all at once, they read back.
        net.setOutcomes("Level", new String[] {"low", "high"}, new int[] {0, 1});
        assertArrayEquals(new String[] {"low", "high"}, net.getOutcomeIds("Level"));
        assertReadsBack(net);
    }

    @Test
    void typeChangesKeepWhatTheArcRuleAllowsAndSliceEvidenceThatFits() {
        int x = plateNode("X", "a", "b", "c");
        int y = plateNode("Y", "a", "b");
        net.addTemporalArc(x, x, 1);
        net.addTemporalArc(x, y, 1);
        net.setSliceCount(3);
        net.setTemporalEvidence(x, 2, 2);
        net.setTemporalEvidence(x, 1, 1);
        net.setNodeType(x, DEMORGAN);
        assertTrue(net.temporalArcExists(x, x, 1));
        assertFalse(net.temporalArcExists(x, y, 1));
        assertFalse(net.isTemporalEvidence(x, 2));
        assertEquals(1, net.getTemporalEvidence(x, 1));
        assertReadsBack(net);
        net.updateBeliefs();
        assertEquals(6, net.getNodeValue(x).length);

        net.setNodeType(x, CAST);
        assertFalse(net.temporalArcExists(x, x, 1));
        QELTAException e = fails(() -> net.addTemporalArc(x, x, 1));
        assertEquals("QELTA error -51 in function AddTemporalArc. \n"
                + "Temporal arcs cannot lead into node 'X' of type CAST", e.getMessage());
        assertReadsBack(net);
        net.updateBeliefs();
    }

    /** One network per thread: build, read, edit and update at the same time. */
    static double[] work(int round) {
        try (Network n = new Network()) {
            int a = n.addNode(CPT, "A");
            int b = n.addNode(CPT, "B");
            n.addArc(a, b);
            n.addOutcome(a, "extra" + round % 3);
            n.setNodeDefinition(a, new double[] {0.2, 0.3, 0.5});
            n.setNodeDefinition(b, new double[] {0.9, 0.1, 0.5, 0.5, 0.1, 0.9});
            try (Network copy = new Network()) {
                copy.readString(n.writeString());
                copy.setEvidence("B", round % 2);
                copy.setNodeType("A", TRUTH_TABLE);
                copy.setNodeType("A", CPT);
                copy.setNodeDefinition("A", new double[] {0.2, 0.3, 0.5});
                copy.updateBeliefs();
                return copy.getNodeValue("A");
            }
        }
    }

    @Test
    void networksOnSeparateThreadsShareNothing() throws Exception {
        double[][] expected = {work(0), work(1)};
        int threads = 2;
        CyclicBarrier start = new CyclicBarrier(threads);
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        try {
            List<Future<Void>> done = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                Callable<Void> task = () -> {
                    start.await();
                    for (int round = 0; round < 200; round++) {
                        assertArrayEquals(expected[round % 2], work(round), EXACT);
                    }
                    return null;
                };
                done.add(pool.submit(task));
            }
            for (Future<Void> f : done) {
                f.get();
            }
        } finally {
            pool.shutdown();
        }
    }
}
