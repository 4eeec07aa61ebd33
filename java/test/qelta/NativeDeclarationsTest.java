package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.stream.Collectors;
import org.junit.jupiter.api.Test;

/**
 * The native methods the classes declare must be exactly those the library
 * exports: same JNI symbol, same parameter and result types.
 */
class NativeDeclarationsTest {
    /** One row of the export list. */
    private record Export(String className, String method, boolean isStatic, String result,
            String params, String symbol, String note) {
    }

    private static List<Export> readExports() throws IOException {
        String shared = System.getProperty("qelta.shared");
        assumeTrue(shared != null, "qelta.shared not set; export list unavailable");
        Path tsv = Path.of(shared, "jni", "exports.tsv");
        assumeTrue(Files.isReadable(tsv), "export list not found at " + tsv);
        List<Export> rows = new ArrayList<>();
        List<String> lines = Files.readAllLines(tsv, StandardCharsets.UTF_8);
        for (String line : lines.subList(1, lines.size())) {
            if (line.isBlank()) {
                continue;
            }
            String[] f = line.split("\t", -1);
            rows.add(new Export(f[0], f[1], f[2].equals("yes"), f[3], f[4], f[5],
                    f.length > 6 ? f[6] : ""));
        }
        return rows;
    }

    /** The JNI escape of one name component. */
    private static String mangle(String s) {
        StringBuilder out = new StringBuilder();
        for (char c : s.toCharArray()) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
                out.append(c);
            } else if (c == '.' || c == '/') {
                out.append('_');
            } else if (c == '_') {
                out.append("_1");
            } else if (c == ';') {
                out.append("_2");
            } else if (c == '[') {
                out.append("_3");
            } else {
                out.append(String.format("_0%04x", (int) c));
            }
        }
        return out.toString();
    }

    private static String descriptor(Class<?> type) {
        if (type.isArray()) {
            return "[" + descriptor(type.getComponentType());
        }
        if (type.isPrimitive()) {
            return switch (type.getName()) {
                case "int" -> "I";
                case "long" -> "J";
                case "boolean" -> "Z";
                case "double" -> "D";
                case "float" -> "F";
                case "char" -> "C";
                case "byte" -> "B";
                case "short" -> "S";
                case "void" -> "V";
                default -> throw new IllegalArgumentException(type.getName());
            };
        }
        return "L" + type.getName().replace('.', '/') + ";";
    }

    /** A type as the export list writes it: short names for java.lang, full names otherwise. */
    private static String listed(Class<?> type) {
        if (type.isArray()) {
            return listed(type.getComponentType()) + "[]";
        }
        if (type.getPackageName().equals("java.lang")) {
            return type.getSimpleName();
        }
        return type.getName();
    }

    private static List<Method> nativeMethods(Class<?> cls) {
        List<Method> natives = new ArrayList<>();
        for (Method m : cls.getDeclaredMethods()) {
            if (Modifier.isNative(m.getModifiers())) {
                natives.add(m);
            }
        }
        return natives;
    }

    private static String symbol(Class<?> cls, Method m, boolean overloaded) {
        String name = "Java_" + mangle(cls.getName()) + "_" + mangle(m.getName());
        if (!overloaded) {
            return name;
        }
        StringBuilder signature = new StringBuilder();
        for (Class<?> p : m.getParameterTypes()) {
            signature.append(descriptor(p));
        }
        return name + "__" + mangle(signature.toString());
    }

    @Test
    void declaredNativesMatchTheExportList() throws Exception {
        List<Export> exports = readExports();
        Map<String, List<Export>> byClass = exports.stream()
                .collect(Collectors.groupingBy(Export::className, TreeMap::new, Collectors.toList()));
        TreeSet<String> problems = new TreeSet<>();
        int matched = 0;
        for (Map.Entry<String, List<Export>> entry : byClass.entrySet()) {
            Class<?> cls = Class.forName(entry.getKey());
            List<Method> natives = nativeMethods(cls);
            Map<String, Integer> namesake = new HashMap<>();
            for (Method m : natives) {
                namesake.merge(m.getName(), 1, Integer::sum);
            }
            Map<String, Method> declared = new HashMap<>();
            for (Method m : natives) {
                declared.put(symbol(cls, m, namesake.get(m.getName()) > 1), m);
            }
            for (Export e : entry.getValue()) {
                Method m = declared.remove(e.symbol());
                if (m == null) {
                    problems.add("not declared: " + e.symbol());
                    continue;
                }
                String params = List.of(m.getParameterTypes()).stream()
                        .map(NativeDeclarationsTest::listed).collect(Collectors.joining(","));
                if (!params.equals(e.params()) || !listed(m.getReturnType()).equals(e.result())) {
                    problems.add("types differ: " + e.symbol());
                }
                boolean staticStated = !e.note().contains("static-ness not stated");
                if (staticStated && Modifier.isStatic(m.getModifiers()) != e.isStatic()) {
                    problems.add("static-ness differs: " + e.symbol());
                }
                matched++;
            }
            for (String extra : declared.keySet()) {
                problems.add("not in the export list: " + extra);
            }
        }
        assertTrue(problems.isEmpty(), String.join("\n", problems));
        assertEquals(exports.size(), matched);
    }
}
