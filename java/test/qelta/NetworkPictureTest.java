package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static qelta.NetworkFixture.CPT;

import java.io.ByteArrayInputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.stream.Stream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import javax.xml.parsers.DocumentBuilderFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.NodeList;

/** The SVG picture: well-formed, every node drawn apart, bars that fill their tracks. */
class NetworkPictureTest {
    private static final String SVG = "http://www.w3.org/2000/svg";

    private static Path data(String file) {
        Path root = Path.of(System.getProperty("qelta.testdata", "tests/data"));
        return root.resolve(file).normalize();
    }

    /** What the picture shows, parsed: node boxes, frames, and bar widths by node and row. */
    private static final class Picture {
        final Map<String, Element> nodes = new HashMap<>();
        final Map<String, double[]> boxes = new HashMap<>();
        final Map<String, double[]> frames = new HashMap<>();
        final Map<String, Map<Integer, double[]>> rows = new HashMap<>();  // {bars, a track}
        final Map<String, List<String>> barClasses = new HashMap<>();
        final List<Arc> arcs = new ArrayList<>();
        final Map<String, double[]> titles = new HashMap<>();  // a frame's title's box
        final List<double[]> labels = new ArrayList<>();        // the temporal arcs' labels
        final List<String> labelArcs = new ArrayList<>();       // and the arcs they name
        double width;
        double height;

        Picture(String svg) throws Exception {
            DocumentBuilderFactory factory = DocumentBuilderFactory.newInstance();
            factory.setNamespaceAware(true);
            factory.setFeature("http://apache.org/xml/features/disallow-doctype-decl", true);
            Document doc = factory.newDocumentBuilder()
                    .parse(new ByteArrayInputStream(svg.getBytes(StandardCharsets.UTF_8)));
            assertEquals("svg", doc.getDocumentElement().getLocalName());
            assertEquals(SVG, doc.getDocumentElement().getNamespaceURI());
            NodeList groups = doc.getElementsByTagNameNS(SVG, "g");
            for (int i = 0; i < groups.getLength(); i++) {
                Element g = (Element) groups.item(i);
                Element first = firstShape(g);
                if (g.getAttribute("class").equals("submodel")) {
                    frames.put(g.getAttribute("data-submodel"), bounds(first));
                } else if (g.getAttribute("class").equals("node")) {
                    String id = g.getAttribute("data-node");
                    nodes.put(id, g);
                    boxes.put(id, bounds(first));
                }
            }
            width = Double.parseDouble(doc.getDocumentElement().getAttribute("width"));
            height = Double.parseDouble(doc.getDocumentElement().getAttribute("height"));
            NodeList paths = doc.getElementsByTagNameNS(SVG, "path");
            for (int i = 0; i < paths.getLength(); i++) {
                Element p = (Element) paths.item(i);
                if (p.getAttribute("class").startsWith("arc")) {
                    arcs.add(new Arc(p));
                }
            }
            NodeList texts = doc.getElementsByTagNameNS(SVG, "text");
            for (int i = 0; i < texts.getLength(); i++) {
                Element t = (Element) texts.item(i);
                Element parent = (Element) t.getParentNode();
                if (parent.getAttribute("class").equals("submodel")) {
                    titles.put(parent.getAttribute("data-submodel"), textBox(t, 12));
                } else if (t.getAttribute("class").equals("order")) {
                    labels.add(textBox(t, 11));
                    labelArcs.add(t.getAttribute("data-from") + "->" + t.getAttribute("data-to"));
                }
            }
            NodeList rects = doc.getElementsByTagNameNS(SVG, "rect");
            for (int i = 0; i < rects.getLength(); i++) {
                Element r = (Element) rects.item(i);
                String kind = r.getAttribute("class");
                if (!kind.equals("track") && !kind.startsWith("bar")) continue;
                String id = r.getAttribute("data-node");
                double[] sums = rows.computeIfAbsent(id, k -> new TreeMap<>())
                        .computeIfAbsent(Integer.parseInt(r.getAttribute("data-row")),
                                k -> new double[2]);
                double width = Double.parseDouble(r.getAttribute("width"));
                if (kind.equals("track")) {
                    sums[1] = Math.max(sums[1], width);  // one track per outcome, all as wide
                } else {
                    sums[0] += width;
                    barClasses.computeIfAbsent(id, k -> new ArrayList<>()).add(kind);
                }
            }
        }

        /** Where a text stands, at a width of 0.6 of its size per character (bold, 0.62). */
        private static double[] textBox(Element t, double size) {
            double x = Double.parseDouble(t.getAttribute("x"));
            double y = Double.parseDouble(t.getAttribute("y"));
            double per = size * (t.getAttribute("font-weight").equals("bold") ? 0.62 : 0.6);
            return new double[] {x, y - size * 0.8, x + per * t.getTextContent().length(),
                y + size * 0.2};
        }

        private static Element firstShape(Element g) {
            for (org.w3c.dom.Node n = g.getFirstChild(); n != null; n = n.getNextSibling()) {
                if (n instanceof Element e && (e.getLocalName().equals("rect")
                        || e.getLocalName().equals("polygon"))) {
                    return e;
                }
            }
            throw new AssertionError("a group without its outline");
        }

        /** {left, top, right, bottom} of a rect or a polygon. */
        private static double[] bounds(Element e) {
            if (e.getLocalName().equals("rect")) {
                double x = Double.parseDouble(e.getAttribute("x"));
                double y = Double.parseDouble(e.getAttribute("y"));
                return new double[] {x, y, x + Double.parseDouble(e.getAttribute("width")),
                    y + Double.parseDouble(e.getAttribute("height"))};
            }
            double[] b = {Double.MAX_VALUE, Double.MAX_VALUE, -Double.MAX_VALUE, -Double.MAX_VALUE};
            for (String point : e.getAttribute("points").split(" ")) {
                String[] xy = point.split(",");
                double x = Double.parseDouble(xy[0]);
                double y = Double.parseDouble(xy[1]);
                b[0] = Math.min(b[0], x);
                b[1] = Math.min(b[1], y);
                b[2] = Math.max(b[2], x);
                b[3] = Math.max(b[3], y);
            }
            return b;
        }
    }

    /**
     * Draws the network and checks what holds for every picture: each node drawn once, no two
     * boxes overlapping, each node in the frames of its submodel and of the submodels above it,
     * and each row of probability bars filling its track within a pixel, one row per row of the
     * node's value.
     */
    private static Picture check(Network net) throws Exception {
        Picture picture = new Picture(NetworkPicture.toSvg(net));
        int[] all = net.getAllNodes();
        assertEquals(all.length, picture.nodes.size());
        List<double[]> boxes = new ArrayList<>();
        for (int node : all) {
            String id = net.getNodeId(node);
            double[] box = picture.boxes.get(id);
            assertNotNull(box, id);
            for (double[] other : boxes) {
                boolean apart = box[2] <= other[0] || other[2] <= box[0] || box[3] <= other[1]
                        || other[3] <= box[1];
                assertTrue(apart, id + " overlaps another node");
            }
            boxes.add(box);
            for (int s = net.getSubmodelOfNode(node); s != net.getMainSubmodel();
                    s = net.getSubmodelOfSubmodel(s)) {
                double[] frame = picture.frames.get(net.getSubmodelId(s));
                assertNotNull(frame, net.getSubmodelId(s));
                boolean inside = frame[0] <= box[0] && frame[1] <= box[1] && box[2] <= frame[2]
                        && box[3] <= frame[3];
                assertTrue(inside, id + " outside the frame of " + net.getSubmodelId(s));
            }
            int type = net.getNodeType(node);
            boolean probabilities = (type & 16) != 0 && type != 17 && net.isValueValid(node);
            Map<Integer, double[]> rows = picture.rows.getOrDefault(id, Map.of());
            if (probabilities) {
                int count = net.getNodeValue(node).length / net.getOutcomeCount(node);
                assertEquals(Math.min(count, 6), rows.size(), id + " rows");
            }
            for (Map.Entry<Integer, double[]> row : rows.entrySet()) {
                double[] sums = row.getValue();
                assertTrue(sums[1] > 50, id + " track");
                assertEquals(sums[1], sums[0], 1.0, id + " row " + row.getKey());
            }
        }
        return picture;
    }

    /** An arc's path as points, its curves sampled. */
    private static final class Arc {
        final String from;
        final String to;
        final String d;
        final List<double[]> points = new ArrayList<>();

        Arc(Element p) {
            from = p.getAttribute("data-from");
            to = p.getAttribute("data-to");
            d = p.getAttribute("d");
            String[] tokens = d.trim().split("[ ,]+|(?=[MLCQ])|(?<=[MLCQ])");
            List<String> list = new ArrayList<>(Arrays.asList(tokens));
            list.removeIf(String::isEmpty);
            char command = 'M';
            for (int i = 0; i < list.size(); ) {
                String token = list.get(i);
                if (Character.isLetter(token.charAt(0))) {
                    command = token.charAt(0);
                    i++;
                    continue;
                }
                int count = command == 'C' ? 3 : command == 'Q' ? 2 : 1;
                double[][] c = new double[count + 1][];
                c[0] = points.isEmpty() ? null : points.get(points.size() - 1);
                for (int k = 1; k <= count; k++) {
                    c[k] = new double[] {Double.parseDouble(list.get(i)),
                        Double.parseDouble(list.get(i + 1))};
                    i += 2;
                }
                if (count == 1) {
                    points.add(c[1]);
                    continue;
                }
                for (int step = 1; step <= 16; step++) {
                    double t = step / 16.0;
                    double[] q = new double[2];
                    for (int a = 0; a < 2; a++) {
                        q[a] = count == 3 ? Math.pow(1 - t, 3) * c[0][a]
                                + 3 * t * (1 - t) * (1 - t) * c[1][a] + 3 * t * t * (1 - t) * c[2][a]
                                + t * t * t * c[3][a]
                                : (1 - t) * (1 - t) * c[0][a] + 2 * t * (1 - t) * c[1][a]
                                + t * t * c[2][a];
                    }
                    points.add(q);
                }
            }
        }
    }

    /** Whether the segment p-q meets the rectangle {left, top, right, bottom} grown by m. */
    private static boolean crosses(double[] p, double[] q, double[] r, double m) {
        double x0 = r[0] - m;
        double y0 = r[1] - m;
        double x1 = r[2] + m;
        double y1 = r[3] + m;
        double t0 = 0;
        double t1 = 1;
        double[] dir = {q[0] - p[0], q[1] - p[1]};
        double[][] sides = {{-dir[0], p[0] - x0}, {dir[0], x1 - p[0]}, {-dir[1], p[1] - y0},
            {dir[1], y1 - p[1]}};
        for (double[] side : sides) {
            if (side[0] == 0) {
                if (side[1] < 0) return false;
            } else {
                double t = side[1] / side[0];
                if (side[0] < 0) t0 = Math.max(t0, t); else t1 = Math.min(t1, t);
            }
        }
        return t0 <= t1;
    }

    private static boolean overlap(double[] a, double[] b) {
        return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
    }

    /**
     * Checks what makes a picture readable: no arc passes within 2 pixels of a box it does not
     * join, no two arcs end at one point or share their path, no two arcs that share no end
     * run close along one another for long, no arc crosses a submodel's
     * title, every title lies inside its frame, and a temporal arc's label lies over no box,
     * no title, no other label and no arc but its own.
     */
    private static Picture checkReadable(Network net, String what) throws Exception {
        Picture picture = check(net);
        List<String> faults = new ArrayList<>();
        for (Arc arc : picture.arcs) {
            for (int i = 1; i < arc.points.size(); i++) {
                double[] p = arc.points.get(i - 1);
                double[] q = arc.points.get(i);
                for (Map.Entry<String, double[]> box : picture.boxes.entrySet()) {
                    if (!box.getKey().equals(arc.from) && !box.getKey().equals(arc.to)
                            && crosses(p, q, box.getValue(), 2)) {
                        faults.add(arc.from + "->" + arc.to + " under " + box.getKey());
                    }
                }
                for (Map.Entry<String, double[]> title : picture.titles.entrySet()) {
                    if (crosses(p, q, title.getValue(), 0)) {
                        faults.add(arc.from + "->" + arc.to + " across title " + title.getKey());
                    }
                }
            }
        }
        for (int i = 0; i < picture.arcs.size(); i++) {
            Arc a = picture.arcs.get(i);
            double[] end = a.points.get(a.points.size() - 1);
            for (int j = i + 1; j < picture.arcs.size(); j++) {
                Arc b = picture.arcs.get(j);
                double[] other = b.points.get(b.points.size() - 1);
                if (a.d.equals(b.d) || Math.hypot(end[0] - other[0], end[1] - other[1]) < 3) {
                    faults.add(a.from + "->" + a.to + " meets " + b.from + "->" + b.to);
                }
            }
        }
        faults.addAll(runsAlong(picture.arcs));
        for (Map.Entry<String, double[]> title : picture.titles.entrySet()) {
            double[] t = title.getValue();
            double[] f = picture.frames.get(title.getKey());
            if (t[0] < f[0] || t[1] < f[1] || t[2] > f[2] || t[3] > f[3]) {
                faults.add("title of " + title.getKey() + " outside its frame");
            }
            if (f[2] > picture.width) {
                faults.add("frame of " + title.getKey() + " cut by the picture's edge");
            }
        }
        for (int i = 0; i < picture.labels.size(); i++) {
            double[] label = picture.labels.get(i);
            String own = picture.labelArcs.get(i);
            for (int j = i + 1; j < picture.labels.size(); j++) {
                if (overlap(label, picture.labels.get(j))) {
                    faults.add("labels of " + own + " and " + picture.labelArcs.get(j) + " overlap");
                }
            }
            for (Map.Entry<String, double[]> box : picture.boxes.entrySet()) {
                if (overlap(label, box.getValue())) {
                    faults.add("label of " + own + " under " + box.getKey());
                }
            }
            for (Map.Entry<String, double[]> title : picture.titles.entrySet()) {
                if (overlap(label, title.getValue())) {
                    faults.add("label of " + own + " over title " + title.getKey());
                }
            }
            for (Arc arc : picture.arcs) {
                for (int k = 1; k < arc.points.size() && !own.equals(arc.from + "->" + arc.to); k++) {
                    if (crosses(arc.points.get(k - 1), arc.points.get(k), label, 0)) {
                        faults.add("label of " + own + " crossed by " + arc.from + "->" + arc.to);
                        break;
                    }
                }
            }
        }
        assertTrue(faults.isEmpty(), what + ": " + faults.size() + " faults, "
                + faults.subList(0, Math.min(8, faults.size())));
        return picture;
    }

    /**
     * Pairs of arcs that share no end and run within 2 pixels of each other, side by side,
     * over more than 200 pixels in all: level runs against level runs, upright against
     * upright, any others sampled at every pixel against the nearly parallel others.
     */
    private static List<String> runsAlong(List<Arc> arcs) {
        List<List<double[]>> kinds = List.of(new ArrayList<>(), new ArrayList<>(),
                new ArrayList<>());  // {across, from, to, arc}: level, upright; others as drawn
        for (int a = 0; a < arcs.size(); a++) {
            List<double[]> points = arcs.get(a).points;
            for (int k = 1; k < points.size(); k++) {
                double[] p = points.get(k - 1);
                double[] q = points.get(k);
                if (p[1] == q[1] || p[0] == q[0]) {
                    int axis = p[1] == q[1] ? 1 : 0;
                    kinds.get(axis == 1 ? 0 : 1).add(new double[] {p[axis],
                        Math.min(p[1 - axis], q[1 - axis]), Math.max(p[1 - axis], q[1 - axis]), a});
                } else {
                    kinds.get(2).add(new double[] {p[0], p[1], q[0], q[1], a});
                }
            }
        }
        Map<Long, Double> along = new HashMap<>();
        for (List<double[]> runs : kinds.subList(0, 2)) {
            runs.sort((p, q) -> Double.compare(p[0], q[0]));
            for (int i = 0; i < runs.size(); i++) {
                double[] s = runs.get(i);
                for (int j = i + 1; j < runs.size() && runs.get(j)[0] - s[0] < 2; j++) {
                    double[] t = runs.get(j);
                    double length = Math.min(s[2], t[2]) - Math.max(s[1], t[1]);
                    if (length > 0 && apart(arcs.get((int) s[3]), arcs.get((int) t[3]))) {
                        along.merge(pair(s[3], t[3]), length, Double::sum);
                    }
                }
            }
        }
        List<double[]> others = kinds.get(2);
        for (double[] s : others) {
            for (double[] t : others) {
                double sx = s[2] - s[0];
                double sy = s[3] - s[1];
                double tx = t[2] - t[0];
                double ty = t[3] - t[1];
                double ls = Math.hypot(sx, sy);
                double lt = Math.hypot(tx, ty);
                if (s == t || !apart(arcs.get((int) s[4]), arcs.get((int) t[4]))
                        || Math.abs(sx * ty - sy * tx) > 0.5 * ls * lt) {
                    continue;
                }
                int n = (int) Math.ceil(ls);
                int near = 0;
                for (int i = 0; i < n; i++) {
                    double f = (i + 0.5) / n;
                    double px = s[0] + f * sx - t[0];
                    double py = s[1] + f * sy - t[1];
                    double g = Math.max(0, Math.min(1, (px * tx + py * ty) / (lt * lt)));
                    near += Math.hypot(px - g * tx, py - g * ty) < 2 ? 1 : 0;
                }
                // Measured from each side: half of it each time.
                along.merge(pair(s[4], t[4]), near * ls / n / 2, Double::sum);
            }
        }
        List<String> faults = new ArrayList<>();
        along.forEach((pair, length) -> {
            if (length > 200) {
                Arc a = arcs.get((int) (pair >> 32));
                Arc b = arcs.get((int) (long) pair);
                faults.add(a.from + "->" + a.to + " along " + b.from + "->" + b.to + " for "
                        + Math.round(length) + " px");
            }
        });
        return faults;
    }

    private static boolean apart(Arc a, Arc b) {
        return !a.from.equals(b.from) && !a.from.equals(b.to) && !a.to.equals(b.from)
                && !a.to.equals(b.to);
    }

    private static long pair(double a, double b) {
        return (long) Math.min(a, b) << 32 | (long) Math.max(a, b);
    }

    /** Every node given one centre, so that the picture lays the network out by itself. */
    private static void forgetPositions(Network net) {
        for (int node : net.getAllNodes()) {
            java.awt.Rectangle r = net.getNodePosition(node);
            net.setNodePosition(node, -(r.width / 2), -(r.height / 2), r.width, r.height);
        }
    }

    /**
     * The shared networks and the test files, laid out by the picture: readable, and the six
     * largest networks no more than four times as wide as high or as high as wide.
     */
    @Test
    void everyArcCanBeFollowed() throws Exception {
        Path shared = data("../../../shared/data/networks/net");
        List<Path> files = new ArrayList<>();
        if (Files.isDirectory(shared)) {
            try (Stream<Path> list = Files.list(shared)) {
                list.sorted().forEach(files::add);
            }
        } else {
            System.err.println("NetworkPictureTest: " + shared + " is absent;"
                    + " the shared networks are not drawn");
        }
        for (String dir : new String[] {"xml", "decisions", "vrn", "."}) {
            try (Stream<Path> list = Files.list(data(dir))) {
                list.filter(p -> p.toString().matches(".*\\.(xvrn|vrn)$")).sorted()
                        .forEach(files::add);
            }
        }
        List<String> large = List.of("munin", "munin2", "munin3", "munin4", "link", "pigs");
        int drawn = 0;
        for (Path file : files) {
            try (Network net = new Network()) {
                try {
                    net.readFile(file.toString());
                } catch (QELTAException e) {
                    continue;  // a file made to be refused
                }
                if (!file.startsWith(shared)) {
                    checkReadable(net, file.getFileName() + " at its positions");
                }
                forgetPositions(net);
                Picture picture = checkReadable(net, file.getFileName().toString());
                drawn++;
                String name = file.getFileName().toString().replaceAll("\\.net$", "");
                if (large.contains(name)) {
                    double ratio = picture.width / picture.height;
                    assertTrue(ratio >= 0.25 && ratio <= 4, name + " is " + picture.width + " by "
                            + picture.height);
                }
            }
        }
        assertTrue(drawn >= 10, "files drawn: " + drawn);
    }

    /**
     * An arc from outside into a submodel three frames down, beside an arc within it; arcs out
     * of a submodel and back in; a long submodel name; a node with loops to itself of two
     * orders; a loop whose right side a frame's title takes.
     */
    @Test
    void nestedSubmodelsAndLoopsStayApart() throws Exception {
        try (Network net = new Network()) {
            int plant = net.addSubmodel(net.getMainSubmodel(), "Plant");
            int line = net.addSubmodel(plant, "Line");
            int stage = net.addSubmodel(line, "Stage");
            net.setSubmodelName(stage, "A submodel whose name is much longer than its nodes");
            for (String id : new String[] {"Top", "Pump", "Valve", "Flow", "Warn", "Gauge"}) {
                net.addNode(CPT, id);
            }
            // Gauge, outside, both reads the plant and feeds it: arcs against the layers.
            String[][] arcs = {{"Top", "Pump"}, {"Pump", "Valve"}, {"Valve", "Flow"},
                {"Flow", "Warn"}, {"Top", "Warn"}, {"Pump", "Warn"}, {"Pump", "Gauge"},
                {"Gauge", "Flow"}};
            for (String[] arc : arcs) net.addArc(arc[0], arc[1]);
            net.setSubmodelOfNode(plant, net.getNode("Pump"));
            net.setSubmodelOfNode(line, net.getNode("Valve"));
            net.setSubmodelOfNode(line, net.getNode("Flow"));
            net.setSubmodelOfNode(stage, net.getNode("Warn"));
            net.updateBeliefs();
            Picture picture = checkReadable(net, "nested");
            assertEquals(arcs.length, picture.arcs.size());
            assertEquals(3, picture.frames.size());
        }
        try (Network net = new Network()) {
            net.readFile(data("xml/dynamic.xvrn").toString());
            net.addTemporalArc("Rain", "Rain", 2);
            net.updateBeliefs();
            forgetPositions(net);
            Picture picture = checkReadable(net, "loops");
            List<String> loops = new ArrayList<>();
            for (Arc arc : picture.arcs) {
                if (arc.from.equals("Rain") && arc.to.equals("Rain")) loops.add(arc.d);
            }
            assertEquals(2, loops.size());
            // Rain's two loops and Wet's, Umbrella's arc to Rain: four labels apart.
            assertEquals(4, picture.labels.size());
        }
        try (Network net = new Network()) {
            // At its positions, Loop's right side is taken by the title of the outer of two
            // frames around Near, below and to the right: its loop goes elsewhere.
            int outer = net.addSubmodel(net.getMainSubmodel(), "Outer");
            int inner = net.addSubmodel(outer, "Inner");
            net.addNode(CPT, "Loop");
            net.addNode(CPT, "Near");
            net.setNodeTemporalType("Loop", 3);
            net.addTemporalArc("Loop", "Loop", 1);
            net.setSubmodelOfNode(inner, net.getNode("Near"));
            net.setNodePosition("Loop", 0, 0, 110, 46);
            net.setNodePosition("Near", 140, 100, 110, 46);
            checkReadable(net, "a loop beside a title");
        }
    }

    /**
     * Random networks with nested submodels, arcs in and out of them, lone nodes, long names
     * and temporal arcs (loops among them), at given positions and laid out by the picture,
     * as built and updated: each drawn, and readable.
     */
    @Test
    void randomNetworksWithSubmodelsAreReadable() throws Exception {
        long seed = Long.getLong("qelta.pictureSeed", NetworkFixture.FIXED_SEED);
        int count = Integer.getInteger("qelta.pictures", 60);
        List<String> faults = new ArrayList<>();
        for (int n = 0; n < count; n++) {
            java.util.Random random = new java.util.Random(seed + n);
            try (Network net = new Network()) {
                List<Integer> submodels = new ArrayList<>(List.of(net.getMainSubmodel()));
                for (int s = random.nextInt(4); s > 0; s--) {
                    int above = submodels.get(random.nextInt(submodels.size()));
                    submodels.add(net.addSubmodel(above, "S" + submodels.size()));
                }
                int size = 2 + random.nextInt(9);
                int[] nodes = new int[size];
                int columns = 2 + random.nextInt(3);
                int across = 130 + random.nextInt(100);
                int down = 70 + random.nextInt(80);
                for (int i = 0; i < size; i++) {
                    String id = String.valueOf((char) ('A' + i));
                    nodes[i] = net.addNode(CPT, id);
                    if (random.nextInt(5) == 0) net.setNodeName(id, id + " with a long name " + i);
                    net.setNodeTemporalType(id, random.nextInt(3) == 0 ? 0 : 3);
                    net.setSubmodelOfNode(submodels.get(random.nextInt(submodels.size())),
                            net.getNode(id));
                    net.setNodePosition(id, i % columns * across, i / columns * down, 110, 46);
                }
                // Arcs down the order, then temporal ones; those the network refuses (a plate
                // node's arc to a node outside, a repeated one) are left out.
                for (int t = size * size / 4 + random.nextInt(2 * size); t > 0; t--) {
                    int parent = random.nextInt(size);
                    int child = random.nextInt(size);
                    try {
                        if (t % 3 == 0) {
                            net.addTemporalArc(nodes[parent], nodes[child], 1 + random.nextInt(3));
                        } else if (parent < child) {
                            net.addArc(nodes[parent], nodes[child]);
                        }
                    } catch (QELTAException e) {
                        continue;
                    }
                }
                net.setSliceCount(3);
                String what = "seed " + (seed + n);
                boolean given = random.nextBoolean();
                if (!given) forgetPositions(net);
                what += given ? " at its positions" : " laid out";
                for (int pass = 0; pass < 2; pass++) {
                    try {
                        checkReadable(net, what);
                    } catch (AssertionError | RuntimeException e) {
                        faults.add(e instanceof AssertionError ? e.getMessage() : what + ": " + e);
                    }
                    net.updateBeliefs();
                    what += ", updated";
                }
            }
        }
        assertTrue(faults.isEmpty(), faults.size() + " of " + 2 * count + " pictures: "
                + String.join("\n", faults.subList(0, Math.min(10, faults.size()))));
    }

    @Test
    void asiaWithEvidenceMarksTheObservedOutcomes() throws Exception {
        try (Network net = new Network()) {
            net.readFile(data("../../examples/data/asia.xvrn").toString());
            net.setEvidence("VisitAsia", "visit");
            net.setEvidence("Dyspnea", "present");
            net.updateBeliefs();
            Picture picture = check(net);
            assertEquals(List.of("bar observed", "bar"), picture.barClasses.get("VisitAsia"));
            assertEquals(List.of("bar", "bar"), picture.barClasses.get("Smoking"));
        }
    }

    @Test
    void aDynamicNetworkShowsEverySlice() throws Exception {
        try (Network net = new Network()) {
            net.readFile(data("xml/dynamic.xvrn").toString());
            net.setSliceCount(3);
            net.setTemporalEvidence("Umbrella", 1, "T");
            net.updateBeliefs();
            Picture picture = check(net);
            assertEquals(3, picture.rows.get("Rain").size());
            assertEquals(List.of("bar", "bar", "bar observed", "bar", "bar", "bar"),
                    picture.barClasses.get("Umbrella"));
            assertTrue(NetworkPicture.toSvg(net).contains("order 1"));
        }
    }

    @Test
    void anInfluenceDiagramShowsExpectedUtilities() throws Exception {
        try (Network net = new Network()) {
            net.readFile(data("decisions/oil_wildcatter.xvrn").toString());
            net.updateBeliefs();
            Picture picture = check(net);
            // The test decision: its two choices scaled against each other, the better one marked.
            Element test = picture.nodes.get("Test");
            NodeList rects = test.getElementsByTagNameNS(SVG, "rect");
            List<String> kinds = new ArrayList<>();
            for (int i = 0; i < rects.getLength(); i++) {
                String kind = ((Element) rects.item(i)).getAttribute("class");
                if (kind.startsWith("utility")) kinds.add(kind);
            }
            double[] eu = net.getNodeValue("Test");
            assertEquals(eu[0] >= eu[1] ? List.of("utility best", "utility")
                    : List.of("utility", "utility best"), kinds);
            assertEquals("polygon", ((Element) picture.nodes.get("Payoff")
                    .getElementsByTagNameNS(SVG, "polygon").item(0)).getLocalName());
        }
    }

    /** Nested submodels laid out by the picture, and a file's submodel at its positions. */
    @Test
    void submodelsAreFramesAroundTheirNodes(@TempDir Path dir) throws Exception {
        try (Network net = new Network()) {
            int plant = net.addSubmodel(net.getMainSubmodel(), "Plant");
            int pumps = net.addSubmodel(plant, "Pumps");
            net.setSubmodelName(pumps, "Pumps & <valves>");
            for (String id : new String[] {"Demand", "Pressure", "PumpA", "PumpB", "Flow", "Alarm"}) {
                net.addNode(CPT, id);
            }
            net.setNodeName("Flow", "Flow \"out\" \u0001");
            String[][] arcs = {{"Demand", "Pressure"}, {"Pressure", "PumpA"}, {"Pressure", "PumpB"},
                {"PumpA", "Flow"}, {"PumpB", "Flow"}, {"Flow", "Alarm"}};
            for (String[] arc : arcs) net.addArc(arc[0], arc[1]);
            for (String id : new String[] {"Pressure", "Flow"}) net.setSubmodelOfNode(plant, net.getNode(id));
            for (String id : new String[] {"PumpA", "PumpB"}) net.setSubmodelOfNode(pumps, net.getNode(id));
            int temp = net.addNode(4, "Temp");
            net.setNodeEquation(temp, "Temp=Normal(20,2)");
            net.setSubmodelOfNode(plant, temp);
            net.updateBeliefs();
            Picture picture = check(net);
            assertEquals(2, picture.frames.size());
            String svg = NetworkPicture.toSvg(net);
            assertTrue(svg.contains(">mean "), "the equation node's mean");
            NetworkPicture.write(net, dir.resolve("plant.svg"));
            assertEquals(svg, Files.readString(dir.resolve("plant.svg")));
        }
        try (Network net = new Network()) {
            net.readFile(data("xml/layout_full.xvrn").toString());
            net.updateBeliefs();
            Picture picture = check(net);
            assertEquals(1, picture.frames.size());
            // Placed as the file has them: the valve left of the gauge, on one line.
            double[] valve = picture.boxes.get("Valve");
            double[] gauge = picture.boxes.get("Gauge");
            assertTrue(valve[2] < gauge[0]);
            assertEquals(valve[1] + valve[3], gauge[1] + gauge[3], 1e-9);
            assertFalse(picture.frames.get("Room")[2] > gauge[0], "the frame holds the gauge");
        }
    }
}
