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
import java.util.ArrayList;
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
