package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.fail;

import java.lang.reflect.Array;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.function.Supplier;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Every public method of Network called with hostile arguments on an empty, a loaded and a
 * closed network: each call returns normally or throws QELTAException, or UnsatisfiedLinkError
 * for a method the library does not build yet. Anything else (a crash, another exception) fails.
 */
class NetworkSweepTest {
    private static final String MEGABYTE = "x".repeat(1 << 20);

    @TempDir Path dir;

    /** Values of one parameter type; the first is the tame one the other parameters keep. */
    private List<Object> values(Class<?> type, boolean fileName) {
        if (type == int.class) {
            return List.of(0, -1, 1, Integer.MIN_VALUE, Integer.MAX_VALUE, 32768, 65535);
        }
        if (type == double.class) {
            return List.of(0.5, Double.NaN, -1.0, Double.POSITIVE_INFINITY, Double.MAX_VALUE, -0.0);
        }
        if (type == boolean.class) {
            return List.of(true, false);
        }
        if (type == String.class && fileName) { // files stay inside the temporary folder
            return Arrays.asList(dir.resolve("sweep.xvrn").toString(), null, "", dir.toString(),
                    dir.resolve("missing/none.net").toString(), dir + "/" + "y".repeat(5000) + ".dsc");
        }
        if (type == String.class) {
            return Arrays.asList("n1", null, "", MEGABYTE, "\ud800", "yes", "n0 n1", "\u00c4rger\uD83D\uDE00");
        }
        if (type == int[].class) {
            int[] huge = new int[1 << 20];
            Arrays.fill(huge, 1);
            return Arrays.asList(new int[] {0, 1}, null, new int[0],
                    new int[] {-1, Integer.MAX_VALUE, Integer.MIN_VALUE}, huge);
        }
        if (type == double[].class) {
            double[] huge = new double[1 << 20];
            Arrays.fill(huge, Double.NaN);
            return Arrays.asList(new double[] {0.5, 0.5}, null, new double[0],
                    new double[] {Double.NaN, -1, Double.POSITIVE_INFINITY}, huge);
        }
        if (type == String[].class) {
            String[] huge = new String[1 << 16];
            Arrays.fill(huge, "s");
            return Arrays.asList(new String[] {"a", "b"}, null, new String[0], new String[] {null, "a"},
                    new String[] {MEGABYTE, ""}, huge);
        }
        if (type == int[][].class) {
            return Arrays.asList(new int[][] {{0, 1}}, null, new int[][] {null},
                    new int[][] {{Integer.MIN_VALUE, -1}, {Integer.MAX_VALUE}});
        }
        if (type == DocItemInfo[].class) {
            return Arrays.asList(new DocItemInfo[0], null, new DocItemInfo[1],
                    new DocItemInfo[] {new DocItemInfo(null, MEGABYTE)});
        }
        if (type == UserProperty[].class) {
            return Arrays.asList(new UserProperty[0], null, new UserProperty[1],
                    new UserProperty[] {new UserProperty("", null), new UserProperty("a", "\ud800")});
        }
        if (type == DiscretizationInterval[].class) {
            return Arrays.asList(new DiscretizationInterval[0], null, new DiscretizationInterval[1],
                    new DiscretizationInterval[] {new DiscretizationInterval(null, Double.NaN)});
        }
        if (type == AnnealedMapTuning.class) {
            AnnealedMapTuning bad = new AnnealedMapTuning();
            bad.numCycle = Integer.MAX_VALUE;
            bad.speed = Double.NaN;
            bad.kMAP = -1;
            return Arrays.asList(new AnnealedMapTuning(), null, bad);
        }
        return Arrays.asList((Object) null); // wrapper objects, colours, text boxes
    }

    /** All tame, then each parameter hostile in turn, then all hostile together. */
    private List<Object[]> rows(Method method) {
        boolean fileName = method.getName().toLowerCase().contains("file");
        List<List<Object>> options = new ArrayList<>();
        for (Class<?> type : method.getParameterTypes()) {
            options.add(values(type, fileName));
        }
        int n = options.size();
        Object[] tame = new Object[n];
        int widest = 1;
        for (int p = 0; p < n; p++) {
            tame[p] = options.get(p).get(0);
            widest = Math.max(widest, options.get(p).size());
        }
        List<Object[]> rows = new ArrayList<>();
        rows.add(tame);
        for (int p = 0; p < n; p++) {
            for (Object value : options.get(p).subList(1, options.get(p).size())) {
                Object[] row = tame.clone();
                row[p] = value;
                rows.add(row);
            }
        }
        for (int k = 1; k < widest && n > 1; k++) {
            Object[] row = new Object[n];
            for (int p = 0; p < n; p++) {
                row[p] = options.get(p).get(k % options.get(p).size());
            }
            rows.add(row);
        }
        return rows;
    }

    /** Calls every method with every row, each method on a fresh network from make. */
    private void sweep(String state, Supplier<Network> make) throws IllegalAccessException {
        List<Method> methods = new ArrayList<>();
        for (Method m : Network.class.getMethods()) {
            if (m.getDeclaringClass() != Object.class && !Modifier.isStatic(m.getModifiers())
                    && !m.getName().equals("close")) {
                methods.add(m);
            }
        }
        methods.sort(Comparator.comparing(Method::toString));
        List<String> faults = new ArrayList<>();
        for (Method method : methods) {
            try (Network net = make.get()) {
                for (Object[] row : rows(method)) {
                    try {
                        method.invoke(net, row);
                    } catch (InvocationTargetException e) {
                        if (e.getCause() instanceof UnsatisfiedLinkError) {
                            break; // not built yet: every row would say the same
                        }
                        // A counts array too short for the tables is Java's own index error.
                        boolean shortCounts = method.getName().equals("distributedHelperEM")
                                && e.getCause() instanceof ArrayIndexOutOfBoundsException;
                        if (!(e.getCause() instanceof QELTAException) && !shortCounts) {
                            faults.add(state + " " + method.getName() + describe(row) + ": " + e.getCause());
                        }
                    }
                }
            }
        }
        if (!faults.isEmpty()) {
            fail(faults.size() + " calls failed outside QELTAException:\n" + String.join("\n", faults));
        }
    }

    private static String describe(Object[] row) {
        List<String> items = new ArrayList<>();
        for (Object arg : row) {
            String item = arg == null ? "null"
                    : arg.getClass().isArray() ? arg.getClass().getSimpleName() + Array.getLength(arg)
                    : arg.toString();
            items.add(item.length() > 40 ? item.substring(0, 40) + "..." : item);
        }
        return "(" + String.join(", ", items) + ")";
    }

    @Test
    void walkingOnFromTheLargestHandleEnds() {
        try (Network net = new Network()) {
            assertEquals(-1, net.getNextNode(Integer.MAX_VALUE));
            net.readString(GeneratedNetworks.layered(3));
            assertEquals(-1, net.getNextNode(Integer.MAX_VALUE));
            assertEquals(1, net.getNextNode(0));
        }
    }

    @Test
    void emptyNetwork() throws Exception {
        sweep("empty", Network::new);
    }

    @Test
    void loadedNetwork() throws Exception {
        String xml = GeneratedNetworks.layered(12);
        java.nio.file.Files.writeString(dir.resolve("sweep.xvrn"), xml);
        sweep("loaded", () -> {
            Network net = new Network();
            net.readString(xml);
            net.setEvidence(2, 1);
            net.setTarget(5, true);
            net.updateBeliefs();
            return net;
        });
    }

    @Test
    void closedNetwork() throws Exception {
        sweep("closed", () -> {
            Network net = new Network();
            net.close();
            return net;
        });
    }
}
