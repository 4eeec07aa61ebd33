import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.jar.JarFile;
import java.util.stream.Collectors;

/**
 * Marks, in generated javadoc, the public native methods that the built library does not export,
 * so readers see which calls would raise UnsatisfiedLinkError.
 *
 * <p>Usage: {@code java scripts/JavadocMarks.java QELTA_JAR SYMBOLS_FILE JAVADOC_DIR}, where
 * SYMBOLS_FILE lists the library's exported symbols one per line. The classes are loaded without
 * being initialised, so the native library itself is never loaded.
 */
public class JavadocMarks {
    private static final String NOTE = "<div class=\"block\"><strong>Not implemented:</strong>"
            + " this build of the native library lacks this method, so calling it throws"
            + " <code>UnsatisfiedLinkError</code>.</div>\n";
    private static final String SUMMARY_NOTE = "<strong>Not implemented.</strong> ";

    public static void main(String[] args) throws Exception {
        Path jar = Path.of(args[0]);
        Set<String> exported = new HashSet<>(Files.readAllLines(Path.of(args[1])));
        Path docs = Path.of(args[2]);
        int natives = 0;
        int missing = 0;
        try (URLClassLoader loader = new URLClassLoader(new URL[] {jar.toUri().toURL()}, null);
                JarFile entries = new JarFile(jar.toFile())) {
            for (String name : entries.stream().map(e -> e.getName())
                    .filter(n -> n.endsWith(".class") && !n.contains("$")).sorted()
                    .collect(Collectors.toList())) {
                Class<?> cls = Class.forName(name.replace('/', '.').replace(".class", ""), false, loader);
                List<Method> absent = new ArrayList<>();
                for (Method m : cls.getDeclaredMethods()) {
                    if (!Modifier.isNative(m.getModifiers())) {
                        continue;
                    }
                    natives++;
                    if (!exported.contains(symbol(cls, m))) {
                        missing++;
                        if (Modifier.isPublic(m.getModifiers())) {
                            absent.add(m);
                        }
                    }
                }
                if (!absent.isEmpty()) {
                    mark(docs.resolve(cls.getName().replace('.', '/') + ".html"), absent);
                }
            }
        }
        System.out.println((natives - missing) + " of " + natives
                + " native methods are implemented; the others are marked \"Not implemented\"");
    }

    /** The JNI symbol of a native method: the short form unless the name is overloaded natively. */
    static String symbol(Class<?> cls, Method method) {
        String base = "Java_" + mangle(cls.getName().replace('.', '/')) + "_" + mangle(method.getName());
        long sameName = Arrays.stream(cls.getDeclaredMethods())
                .filter(m -> Modifier.isNative(m.getModifiers()) && m.getName().equals(method.getName()))
                .count();
        if (sameName < 2) {
            return base;
        }
        StringBuilder signature = new StringBuilder();
        for (Class<?> p : method.getParameterTypes()) {
            signature.append(descriptor(p));
        }
        return base + "__" + mangle(signature.toString());
    }

    static String descriptor(Class<?> type) {
        if (type.isArray()) {
            return "[" + descriptor(type.getComponentType());
        }
        if (type == int.class) return "I";
        if (type == long.class) return "J";
        if (type == double.class) return "D";
        if (type == float.class) return "F";
        if (type == boolean.class) return "Z";
        if (type == byte.class) return "B";
        if (type == char.class) return "C";
        if (type == short.class) return "S";
        return "L" + type.getName().replace('.', '/') + ";";
    }

    static String mangle(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            switch (c) {
                case '/': out.append('_'); break;
                case '_': out.append("_1"); break;
                case ';': out.append("_2"); break;
                case '[': out.append("_3"); break;
                default:
                    if (c < 128 && Character.isLetterOrDigit(c)) {
                        out.append(c);
                    } else {
                        out.append(String.format("_0%04x", (int) c));
                    }
            }
        }
        return out.toString();
    }

    /** Adds the note to each method's detail section and to its line in the summary table. */
    static void mark(Path page, List<Method> methods) throws IOException {
        if (!Files.exists(page)) {
            return;
        }
        String html = Files.readString(page, StandardCharsets.UTF_8);
        for (Method m : methods) {
            String anchor = m.getName() + "(" + Arrays.stream(m.getParameterTypes())
                    .map(Class::getTypeName).collect(Collectors.joining(",")) + ")";
            int section = html.indexOf("<section class=\"detail\" id=\"" + anchor + "\">");
            if (section >= 0) {
                int signatureEnd = html.indexOf("</div>", html.indexOf("member-signature", section));
                if (signatureEnd >= 0) {
                    int at = signatureEnd + "</div>".length() + 1;
                    html = html.substring(0, at) + NOTE + html.substring(at);
                }
            }
            String linkTag = "<a href=\"#" + anchor.replace("[", "%5B").replace("]", "%5D")
                    + "\" class=\"member-name-link\">";
            int link = html.indexOf(linkTag);
            if (link >= 0) {
                int block = html.indexOf("<div class=\"block\">", html.indexOf("col-last", link));
                int next = html.indexOf("member-name-link", link + linkTag.length());
                if (block >= 0 && (next < 0 || block < next)) {
                    int at = block + "<div class=\"block\">".length();
                    html = html.substring(0, at) + SUMMARY_NOTE + html.substring(at);
                }
            }
        }
        Files.writeString(page, html, StandardCharsets.UTF_8);
    }
}
