package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.management.ObjectName;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The network object: lifecycle, settings, identity and the search entry points. */
class NetworkTest extends NetworkFixture {
    static final String BAD_ID_TAIL =
            "' is invalid - it should start with a letter and contain only letters, digits and"
            + " underscores";

    @Test
    void settingsTakeValuesTheEngineAcceptsAndIgnoreTheRest() {
        assertEquals(10000, net.getDiscretizationSampleCount());
        assertEquals(4, net.getNoisyDecompositionLimit());
        assertEquals(0, net.getInfluenceDiagramAlgorithm());
        net.setRandSeed(-17);
        assertEquals(-17, net.getRandSeed());

        net.setSampleCount(5);
        net.setSampleCount(0);
        net.setSampleCount(-3);
        assertEquals(5, net.getSampleCount());
        net.setDiscretizationSampleCount(7);
        net.setDiscretizationSampleCount(0);
        assertEquals(7, net.getDiscretizationSampleCount());

        net.setZeroAvoidanceEnabled(false);
        net.setOutlierRejectionEnabled(true);
        net.setNoisyDecompositionEnabled(true);
        assertFalse(net.isZeroAvoidanceEnabled());
        assertTrue(net.isOutlierRejectionEnabled());
        assertTrue(net.isNoisyDecompositionEnabled());
        net.setNoisyDecompositionLimit(-2);
        assertEquals(-2, net.getNoisyDecompositionLimit());

        net.setBayesianAlgorithm(12);
        refusedCode("algorithm", "13", () -> net.setBayesianAlgorithm(13));
        refusedCode("algorithm", "-1", () -> net.setBayesianAlgorithm(-1));
        assertEquals(12, net.getBayesianAlgorithm());
        net.setInfluenceDiagramAlgorithm(1);
        refusedCode("algorithm", "2", () -> net.setInfluenceDiagramAlgorithm(2));
        refusedCode("algorithm", "-1", () -> net.setInfluenceDiagramAlgorithm(-1));
        assertEquals(1, net.getInfluenceDiagramAlgorithm());
    }

    @Test
    void identifierNameAndDescription() {
        assertEquals("Unnamed", net.getId());
        assertEquals("Unnamed", net.getName());
        assertNull(net.getDescription());

        net.setId("Weather_2");
        net.setName("Weather, \u00e9t\u00e9 \uD83C\uDF24");
        net.setDescription("two\nlines");
        assertEquals("Weather_2", net.getId());
        assertEquals("Weather, \u00e9t\u00e9 \uD83C\uDF24", net.getName());
        assertEquals("two\nlines", net.getDescription());

        refused("Identifier '2Weather" + BAD_ID_TAIL, () -> net.setId("2Weather"));
        refused("Identifier 'a b" + BAD_ID_TAIL, () -> net.setId("a b"));
        refusedAll("Unexpected null Java string.",
                () -> net.setId(null), () -> net.setName(null), () -> net.setDescription(null));
        refused("Network name is not valid UTF-16: unpaired surrogate U+DFFF at index 0",
                () -> net.setName("\uDFFF"));
        assertEquals("Weather_2", net.getId());

        net.setName("");
        net.setDescription("");
        assertEquals("", net.getName());
        assertEquals("", net.getDescription());
    }

    /** A small network: two CPT nodes with an arc and a few texts to carry. */
    private static void build(Network n) {
        n.setId("Weather");
        n.setName("Weather \u00e0 Z\u00fcrich");
        n.addNode(CPT, "Cloudy");
        n.addNode(CPT, "Rain");
        n.setOutcomes("Rain", new String[] {"dry", "wet"}, new int[] {-1, -1});
        n.addArc("Cloudy", "Rain");
        n.setNodeDescription("Rain", "mm \uD83C\uDF27 per day");
    }

    @Test
    void stringsRoundTripWithAndWithoutTheExtensionBlock() {
        build(net);
        String full = net.writeString();
        String minimal = net.writeMinString();
        assertTrue(full.contains("<extensions>"), full);
        assertFalse(minimal.contains("<extensions>"), minimal);
        assertTrue(minimal.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), minimal);

        try (Network copy = new Network()) {
            copy.readString(full);
            assertEquals(full, copy.writeString());
            assertEquals("Weather", copy.getId());
            assertArrayEquals(new String[] {"Cloudy", "Rain"}, copy.getAllNodeIds());
            assertEquals("mm \uD83C\uDF27 per day", copy.getNodeDescription("Rain"));
            // The arc came along: removing it works once.
            copy.deleteArc("Cloudy", "Rain");
            engineFails("RemoveArc", -2, "\nThere is no arc from node [Cloudy] to node [Rain]",
                    () -> copy.deleteArc("Cloudy", "Rain"));

            copy.readString(minimal);
            assertEquals(minimal, copy.writeMinString());
        }
    }

    @Test
    void aFailedReadCarriesTheLoggedMessagesAndChangesNothing(@TempDir Path dir)
            throws IOException {
        build(net);
        String before = net.writeString();
        Path broken = dir.resolve("broken.xvrn");
        Files.writeString(broken, "<?xml version=\"1.0\"?>\n<qelta version=\"1.0\"><nodes>\n<cpt");

        QELTAException e = fails(() -> net.readFile(broken.toString()));
        assertEquals(-103, e.getErrorCode());
        String[] lines = e.getMessage().split("\n", -1);
        assertEquals("QELTA error -103 in function ReadFile. ", lines[0]);
        assertTrue(lines.length >= 2, e.getMessage());
        for (int i = 1; i < lines.length; i++) {
            assertFalse(lines[i].isEmpty(), e.getMessage());
        }
        assertEquals(before, net.writeString());

        // Each call starts with an empty log: only this call's reason is reported.
        QELTAException unknown = fails(() -> net.readFile(dir.resolve("net.foo").toString()));
        assertEquals("QELTA error -2 in function ReadFile. \nUnknown File Format",
                unknown.getMessage());
        assertEquals(-2, unknown.getErrorCode());

        QELTAException text = fails(() -> net.readString("<qelta"));
        assertEquals(-103, text.getErrorCode());
        assertTrue(text.getMessage().startsWith("QELTA error -103 in function ReadString. \n"),
                text.getMessage());
        assertEquals(before, net.writeString());

        refusedAll("Unexpected null Java string.",
                () -> net.readFile(null), () -> net.readString(null), () -> net.writeFile(null));
    }

    @Test
    void aFailedWriteIsReported(@TempDir Path dir) {
        build(net);
        QELTAException e = fails(() -> net.writeFile(dir.resolve("no/such/dir/x.xvrn").toString()));
        assertTrue(e.getErrorCode() < 0);
        assertTrue(e.getMessage().startsWith("QELTA error " + e.getErrorCode()
                + " in function WriteFile. \n"), e.getMessage());
        QELTAException unknown = fails(() -> net.writeFile(dir.resolve("x.unknown").toString()));
        assertEquals("QELTA error -2 in function WriteFile. \nUnknown File Format",
                unknown.getMessage());
    }

    @Test
    void fileNamesHoldingU0000AreRefusedBeforeAnyFileIsTouched(@TempDir Path dir) {
        build(net);
        Path cut = dir.resolve("cut.xvrn");
        String message = "File name cannot contain U+0000";
        refused(message, () -> net.writeFile(cut + "\u0000.txt"));
        assertFalse(Files.exists(cut));

        net.writeFile(cut.toString());
        net.addNode(CPT, "Extra");
        refused(message, () -> net.readFile(cut + "\u0000.txt"));
        assertEquals(3, net.getNodeCount());
    }

    @Test
    void failureMessagesKeepCharactersBeyondTheBasicPlane(@TempDir Path dir) {
        refused("Invalid node identifier: 'Rain\uD83C\uDF27'", () -> net.getNode("Rain\uD83C\uDF27"));
        String missing = dir.resolve("\uD83C\uDF27 \u00e9t\u00e9.xvrn").toString();
        QELTAException e = fails(() -> net.readFile(missing));
        assertTrue(e.getMessage().contains(missing), e.getMessage());
    }

    /**
     * A foreign file may give a node a name whose bytes are not UTF-8: the reader repairs it, so
     * the identifier and the messages naming the node reach Java.
     */
    @Test
    void bytesThatAreNotUtf8AreRepairedOnReading(@TempDir Path dir) throws IOException {
        Path file = dir.resolve("latin1.xml03");
        Files.write(file, ("<?xml version=\"1.0\"?><BIF VERSION=\"0.3\"><NETWORK><NAME>x</NAME>"
                + "<VARIABLE TYPE=\"nature\"><NAME>A\u00ff</NAME><OUTCOME>a</OUTCOME>"
                + "<OUTCOME>b</OUTCOME></VARIABLE><DEFINITION><FOR>A\u00ff</FOR>"
                + "<TABLE>0.5 0.5</TABLE></DEFINITION></NETWORK></BIF>")
                .getBytes(StandardCharsets.ISO_8859_1));
        net.readFile(file.toString());
        // Every text the engine keeps is valid UTF-8, so Java can read it back.
        assertEquals("A_", net.getNodeId(0));
        refused("Invalid outcome identifier 'q' for node 'A_'", () -> net.setEvidence(0, "q"));
    }

    /**
     * The decimal separator of the process's C numeric locale, as the virtual machine's own
     * C-formatted output shows it; null when that output is not available.
     */
    static String cDecimalSeparator() {
        try {
            Object flags = ManagementFactory.getPlatformMBeanServer().invoke(
                    new ObjectName("com.sun.management:type=DiagnosticCommand"), "vmFlags",
                    new Object[] {new String[] {"-all"}},
                    new String[] {String[].class.getName()});
            Matcher m = Pattern.compile("CompileThresholdScaling\\s*= 1(\\D)0").matcher(
                    flags.toString());
            return m.find() ? m.group(1) : null;
        } catch (Exception e) {
            return null;
        }
    }

    /**
     * Run in a child virtual machine whose locale uses a decimal comma: a failed read must give
     * the caller its numeric locale back and leave the network as it was. Prints "OK", "SKIP
     * reason" or "FAIL reason".
     */
    static final class DecimalCommaChild {
        public static void main(String[] args) throws IOException {
            if (!",".equals(cDecimalSeparator())) {
                System.out.println("SKIP numeric locale without a decimal comma: "
                        + cDecimalSeparator());
                return;
            }
            try (Network n = new Network()) {
                build(n);
                String before = n.writeString();
                Path broken = Path.of(args[0]);
                Files.writeString(broken, "<?xml version=\"1.0\"?>\n<qelta version=\"1.0\">"
                        + "<nodes><cpt id=\"a\"><state id=\"s\"/><state id=\"t\"/>"
                        + "<probabilities>0.25 0.75</probabilities></cpt>\n<cpt");
                try {
                    n.readFile(broken.toString());
                    System.out.println("FAIL the broken file was read");
                    return;
                } catch (QELTAException e) {
                    if (e.getErrorCode() != -103) {
                        System.out.println("FAIL " + e.getMessage());
                        return;
                    }
                }
                if (!",".equals(cDecimalSeparator())) {
                    System.out.println("FAIL locale not restored: " + cDecimalSeparator());
                } else if (!before.equals(n.writeString())) {
                    System.out.println("FAIL the network changed");
                } else if (!before.contains("0.5 0.5")) {
                    System.out.println("FAIL numbers not written with a point: " + before);
                } else {
                    n.readString(before.replace("0.5 0.5 0.5 0.5", "0.25 0.75 0.5 0.5"));
                    String reread = n.writeString();
                    System.out.println(reread.contains("0.25 0.75 0.5 0.5") ? "OK"
                            : "FAIL numbers not read with a point: " + reread);
                }
            }
        }
    }

    @Test
    void aFailedReadRestoresTheCallersNumericLocale(@TempDir Path dir) throws Exception {
        String output = ChildJvm.run(DecimalCommaChild.class, Map.of("LC_ALL", "de_DE.UTF-8"),
                dir.resolve("broken.xvrn").toString());
        assumeFalse(output.startsWith("SKIP"), output);
        assertEquals(List.of("OK"), output.lines().toList(), output);
    }

    private void readAsia() {
        String shared = System.getProperty("qelta.shared");
        assumeTrue(shared != null, "qelta.shared not set; no benchmark networks");
        Path asia = Path.of(shared, "data", "networks", "net", "asia.net");
        assumeTrue(Files.exists(asia), "no " + asia);
        net.readFile(asia.toString());
    }

    @Test
    void asiaGivesTheMostProbableExplanation() {
        readAsia();
        net.setEvidence("asia", "yes");
        net.setEvidence("dysp", "yes");
        AnnealedMapTuning tuning = new AnnealedMapTuning();
        tuning.randSeed = 1;
        AnnealedMapResults r = net.annealedMap(new String[] {"tub", "lung", "bronc"}, tuning);
        assertEquals("no", net.getOutcomeId("tub", r.mapStates()[0]));
        assertEquals("no", net.getOutcomeId("lung", r.mapStates()[1]));
        assertEquals("yes", net.getOutcomeId("bronc", r.mapStates()[2]));
        assertEquals(0.70658409930299, r.probM1E(), EXACT);
        assertEquals(0.004501375, r.probE(), EXACT);
        int[] again = net.annealedMap(new String[] {"tub", "lung", "bronc"}, tuning).mapStates();
        assertArrayEquals(r.mapStates(), again);
    }

    @Test
    void annealedMapChecksItsArguments() {
        net.addNode(CPT, "a");
        net.addNode(CPT, "b");
        AnnealedMapTuning tuning = new AnnealedMapTuning();
        tuning.randSeed = 7;
        assertEquals(2, net.annealedMap(new int[] {0, 1}, tuning).mapStates().length);
        assertEquals(2, net.annealedMap(new String[] {"b", "a"}, null).mapStates().length);
        assertEquals(0, net.annealedMap(new int[0], tuning).mapStates().length);
        engineFails("AnnealedMAP", -2, "\nNode [b] is named twice among the MAP nodes",
                () -> net.annealedMap(new int[] {1, 1}, null));
        AnnealedMapTuning refusedTuning = new AnnealedMapTuning();
        refusedTuning.speed = 1.0;
        engineFails("AnnealedMAP", -2,
                "\nAnnealed MAP tuning refused: speed lies from 0.5 to 0.99, Tmin, Tinit and"
                        + " kReheat above 0 with Tinit above Tmin, numCycle and iReheatSteps 1 or"
                        + " more, and iReheatSteps not above iStopSteps",
                () -> net.annealedMap(new int[] {0}, refusedTuning));

        refused("Invalid node handle: 2", () -> net.annealedMap(new int[] {0, 2}, tuning));
        refused("Invalid node identifier: 'c'", () -> net.annealedMap(new String[] {"a", "c"}, null));
        refused("Invalid node identifier: null",
                () -> net.annealedMap(new String[] {"a", null}, null));
        refused("Unexpected null Java array.", () -> net.annealedMap((int[]) null, null));
        refused("Unexpected null Java array.", () -> net.annealedMap((String[]) null, null));
    }

    /** Resident set size of this process in kB, from /proc/self/status. */
    private static long residentKb() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", ""));
            }
        }
        throw new IOException("no VmRSS line");
    }

    @Test
    void creatingAndClosingManyNetworksLeavesMemoryFlat() throws IOException {
        // Warm up first so the collector's and allocator's own growth is not counted.
        for (int i = 0; i < 20_000; i++) {
            new Network().close();
        }
        System.gc();
        long before = residentKb();
        for (int i = 0; i < 100_000; i++) {
            try (Network n = new Network()) {
                n.setRandSeed(i);
            }
        }
        System.gc();
        long grown = residentKb() - before;
        // A network costs well over 500 bytes: leaking them would add more than 50 MB.
        assertTrue(grown < 32 * 1024, "resident memory grew by " + grown + " kB");
    }
}
