package qelta;

import static org.junit.jupiter.api.Assertions.fail;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.lang.reflect.RecordComponent;
import java.nio.file.Files;
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

    /** Hostile values of one parameter type; the first is the tame one used for the others. */
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
        if (type == String.class) {
            if (fileName) { // files stay inside the temporary folder
                return Arrays.asList(dir.resolve("sweep.xvrn").toString(), null, "",
                        dir.resolve("missing/none.net").toString(), dir + "/" + "y".repeat(5000) + ".dsc",
                        dir.resolve("t.xml03").toString(), dir.toString());
            }
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
            return Arrays.asList(new int[][] {{0, 1}}, null, new int[0][], new int[][] {null},
                    new int[][] {{Integer.MIN_VALUE, -1}, {Integer.MAX_VALUE}});
        }
        if (type.isArray() && type.getComponentType().isRecord()) {
            Object empty = java.lang.reflect.Array.newInstance(type.getComponentType(), 0);
            Object withNull = java.lang.reflect.Array.newInstance(type.getComponentType(), 1);
            List<Object> result = new ArrayList<>(Arrays.asList(empty, null, withNull));
            for (int row = 0; row < 3; row++) {
                Object one = java.lang.reflect.Array.newInstance(type.getComponentType(), 1);
                java.lang.reflect.Array.set(one, 0, record(type.getComponentType(), row));
                result.add(one);
            }
            return result;
        }
        if (type == AnnealedMapTuning.class) {
            AnnealedMapTuning bad = new AnnealedMapTuning();
            bad.numCycle = Integer.MAX_VALUE;
            bad.speed = Double.NaN;
            bad.kMAP = -1;
            return Arrays.asList(new AnnealedMapTuning(), null, bad);
        }
        // Wrapper objects, colours and text boxes: absent.
        return Arrays.asList((Object) null);
    }

    /** A record whose components all take row's value of their type. */
    private Object record(Class<?> type, int row) {
        RecordComponent[] components = type.getRecordComponents();
        Class<?>[] types = new Class<?>[components.length];
        Object[] args = new Object[components.length];
        for (int i = 0; i < components.length; i++) {
            types[i] = components[i].getType();
            List<Object> options = values(types[i], false);
            args[i] = options.get(row % options.size());
        }
        try {
            return type.getDeclaredConstructor(types).newInstance(args);
        } catch (ReflectiveOperationException e) {
            throw new AssertionError(e);
        }
    }

    /** The argument rows for one method: all tame, then each parameter hostile in turn, then all hostile. */
    private List<Object[]> rows(Method method) {
        Class<?>[] types = method.getParameterTypes();
        boolean fileName = method.getName().toLowerCase().contains("file");
        List<List<Object>> options = new ArrayList<>();
        for (Class<?> type : types) {
            options.add(values(type, fileName));
        }
        List<Object[]> rows = new ArrayList<>();
        Object[] tame = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            tame[i] = options.get(i).get(0);
        }
        rows.add(tame);
        int widest = 1;
        for (int p = 0; p < types.length; p++) {
            widest = Math.max(widest, options.get(p).size());
            for (Object value : options.get(p).subList(1, options.get(p).size())) {
                Object[] row = tame.clone();
                row[p] = value;
                rows.add(row);
            }
        }
        for (int k = 1; k < widest && types.length > 1; k++) {
            Object[] row = new Object[types.length];
            for (int p = 0; p < types.length; p++) {
                row[p] = options.get(p).get(k % options.get(p).size());
            }
            rows.add(row);
        }
        return rows;
    }

    private static List<Method> publicMethods() {
        List<Method> methods = new ArrayList<>();
        for (Method m : Network.class.getMethods()) {
            if (m.getDeclaringClass() == Object.class || Modifier.isStatic(m.getModifiers())
                    || m.getName().equals("close")) {
                continue;
            }
            methods.add(m);
        }
        methods.sort(Comparator.comparing(Method::toString));
        return methods;
    }

    /** Calls every method with every row, each method on a fresh network from make. */
    private void sweep(String state, Supplier<Network> make) {
        List<String> faults = new ArrayList<>();
        for (Method method : publicMethods()) {
            Network net = make.get();
            try {
                for (Object[] row : rows(method)) {
                    try {
                        method.invoke(net, row);
                    } catch (InvocationTargetException e) {
                        Throwable cause = e.getCause();
                        if (cause instanceof UnsatisfiedLinkError) {
                            break; // not built yet: every row would say the same
                        }
                        if (!(cause instanceof QELTAException)) {
                            faults.add(state + " " + method.getName() + describe(row) + ": " + cause);
                        }
                    } catch (IllegalAccessException e) {
                        throw new AssertionError(e);
                    }
                }
            } finally {
                net.close();
            }
        }
        if (!faults.isEmpty()) {
            fail(faults.size() + " calls failed outside QELTAException:\n" + String.join("\n", faults));
        }
    }

    private static String describe(Object[] row) {
        StringBuilder text = new StringBuilder("(");
        for (Object arg : row) {
            String item = arg == null ? "null"
                    : arg.getClass().isArray() ? arg.getClass().getSimpleName() + "[" + java.lang.reflect.Array.getLength(arg) + "]"
                    : arg.toString();
            text.append(text.length() > 1 ? ", " : "").append(item.length() > 40 ? item.substring(0, 40) + "..." : item);
        }
        return text.append(')').toString();
    }

    @Test
    void walkingOnFromTheLargestHandleEnds() {
        try (Network net = new Network()) {
            org.junit.jupiter.api.Assertions.assertEquals(-1, net.getNextNode(Integer.MAX_VALUE));
            net.readString(GeneratedNetworks.layered(3));
            org.junit.jupiter.api.Assertions.assertEquals(-1, net.getNextNode(Integer.MAX_VALUE));
            org.junit.jupiter.api.Assertions.assertEquals(1, net.getNextNode(0));
        }
    }

    @Test
    void emptyNetwork() {
        sweep("empty", Network::new);
    }

    @Test
    void loadedNetwork() throws Exception {
        String xml = GeneratedNetworks.layered(12);
        Files.writeString(dir.resolve("sweep.xvrn"), xml);
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
    void closedNetwork() {
        sweep("closed", () -> {
            Network net = new Network();
            net.close();
            return net;
        });
    }
}
