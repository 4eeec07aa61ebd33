package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Rectangle;
import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Clone, log redirects, build text and the relevance switch. */
class ServicesTest extends NetworkFixture {
    static final int MAIN = 32768;

    @TempDir
    Path dir;

    @Test
    void cloneIsEqualIndependentAndOutlivesItsSource() {
        Network source = new Network();
        source.addNode(CPT, "A");
        source.setOutcomes(0, new String[] {"yes", "no"}, new int[] {-1, -1});
        source.setEvidence("A", "no");
        int sub = source.addSubmodel(MAIN, "S");
        source.setSubmodelOfNode(sub, 0);
        source.addTextBox("S", new TextBox("note", new Rectangle(1, 2, 3, 4)));
        source.setUserProperties(new UserProperty[] {new UserProperty("k", "v")});
        Network copy = source.cloneme();
        try {
            assertEquals(LayoutFileTest.snapshot(source), LayoutFileTest.snapshot(copy));
            assertEquals(source.writeString(), copy.writeString());
            assertEquals(1, copy.getEvidence("A"));
            copy.addNode(CPT, "B");
            copy.setSubmodelName("S", "changed");
            source.deleteTextBox("S", 0);
            assertEquals(1, copy.getTextBoxCount("S"));
            assertEquals(1, source.getNodeCount());
            source.close();
            assertEquals(2, copy.getNodeCount());
            assertEquals("changed", copy.getSubmodelName(sub));
            assertArrayEquals(new UserProperty[] {new UserProperty("k", "v")}, copy.getUserProperties());
        } finally {
            source.close();
            copy.close();
        }
    }

    @Test
    void buildTextNamesTheVersionOnly() {
        String build = net.getLibraryBuild();
        assertTrue(build.startsWith("qelta 2.2.4"), build);
        assertFalse(build.contains("/"), build);
        assertEquals("2.2.4", Wrapper.getVersion());
    }

    @Test
    void relevanceSwitchAndValuesComputedBeforeEditsMadeWhileOff() {
        int a = node("A", "yes", "no");
        assertTrue(net.isRelevanceEnabled());
        net.updateBeliefs();
        net.setRelevanceEnabled(false);
        assertFalse(net.isRelevanceEnabled());
        net.setNodeDefinition(a, new double[] {0.9, 0.1});
        net.setRelevanceEnabled(true);
        assertTrue(net.isRelevanceEnabled());
        assertFalse(net.isValueValid(a));
    }

    @Test
    void fileRedirectAppendsAndBadTargetsAreRefused() throws Exception {
        Path log = dir.resolve("log.txt");
        Files.writeString(log, "old\n");
        net.redirectLog(log.toString());
        Path bad = dir.resolve("bad.xvrn");
        Files.writeString(bad, "<qelta><broken");
        QELTAException e = fails(() -> net.readFile(bad.toString()));
        assertTrue(e.getMessage().endsWith("in function ReadFile"), e.getMessage());
        String text = Files.readString(log);
        assertTrue(text.startsWith("old\n-"), text);
        assertTrue(text.lines().skip(1).allMatch(l -> l.matches("-?\\d+: .*")), text);

        engineFails("RedirectToFile", -103,
                () -> net.redirectLog(dir.resolve("missing/x.txt").toString()));
        refused("Unexpected null Java string.", () -> net.redirectLog(null));
        refused("File name cannot contain U+0000", () -> net.redirectLog(log + "\u0000x"));
        QELTAException fd = fails(() -> net.redirectLog(3));
        assertEquals("QELTA error -2 in function RedirectToFile. Invalid file descriptor, only 1"
                + " (stdout) or 2 (stderr) are valid", fd.getMessage());
        assertEquals(-2, fd.getErrorCode());
    }

    @Test
    void standardStreamRedirectsInAChildProcess() throws Exception {
        Path bad = dir.resolve("bad.xvrn");
        Files.writeString(bad, "<qelta><broken");
        for (String fd : new String[] {"1", "2"}) {
            List<String> command = new ArrayList<>();
            command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
            command.add("-Xcheck:jni");
            command.add("-Djava.library.path=" + System.getProperty("java.library.path"));
            command.add("-cp");
            command.add(jarOf(Network.class) + File.pathSeparator + jarOf(ServicesTest.class));
            command.add(Child.class.getName());
            command.add(fd);
            command.add(bad.toString());
            Process p = new ProcessBuilder(command).start();
            assertTrue(p.waitFor(60, TimeUnit.SECONDS));
            String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
            String err = new String(p.getErrorStream().readAllBytes(), StandardCharsets.UTF_8);
            String logged = fd.equals("1") ? out : err;
            assertEquals(0, p.exitValue(), out + err);
            assertTrue(out.contains("MESSAGE QELTA error -103 in function ReadFile\n"), out);
            assertTrue(logged.lines().anyMatch(l -> l.matches("-\\d+: .+")), logged);
        }
    }

    static String jarOf(Class<?> cls) throws Exception {
        return Path.of(cls.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
    }

    /** Child process: redirect to the given stream, then fail a read. */
    public static final class Child {
        public static void main(String[] args) {
            try (Network n = new Network()) {
                n.redirectLog(Integer.parseInt(args[0]));
                try {
                    n.readFile(args[1]);
                } catch (QELTAException e) {
                    System.out.print("MESSAGE " + e.getMessage() + "\n");
                    System.out.flush();
                }
            }
        }
    }
}
