package qelta;

import java.awt.Color;
import java.awt.Rectangle;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * A picture of a network as SVG: its nodes with their values, its arcs as arrows and its
 * submodels as frames. Reads the network through its public methods only and changes nothing;
 * update the beliefs first to see them.
 *
 * <p>Each node is a box holding its name and, when its value is valid
 * ({@link Network#isValueValid(int)}), one row per outcome: the outcome's identifier, a bar as
 * long as its probability against a track of the full width, and the probability. An observed
 * outcome is drawn in red, one implied by other evidence in orange, and a node with virtual
 * evidence says so. A decision lists the expected utility of each choice, with a bar scaled
 * between the smallest and the largest; a utility node gives its expected utility; an equation
 * node its mean and standard deviation, or its observed value, or the probabilities of its
 * intervals when it was discretized. A value of several rows (the slices of a plate node, or the
 * configurations of the nodes that index a value in an influence diagram,
 * {@link Network#getValueIndexingParents(int)}) gives one block per row, headed by what the row
 * stands for; at most six are drawn, the first three and the last three. Decisions have square
 * corners, utility nodes cut ones, and every node takes its own colours
 * ({@link Network#getNodeBgColor(int)} and the others).
 *
 * <p>Nodes stand at their positions ({@link Network#getNodePosition(int)}), spread apart
 * evenly until the boxes, which are made as large as their text needs (and at least their own
 * size, up to 400 pixels), do not overlap; a
 * submodel's frame encloses its nodes and its own submodels. When two nodes share a centre (as
 * every node of a network built without positions does), or stand so close that the spread
 * would be more than six-fold, the picture lays the nodes out by itself: each submodel in
 * layers from parents to children, its submodels drawn as framed blocks among its nodes, an arc
 * across several layers bending down beside the boxes between. Temporal arcs are dashed, bent
 * to one side and labelled with their order.
 *
 * <p>Text is 12 pixels high, sans-serif. Every bar is a {@code rect} of class "bar" (with
 * "observed" or "implied" added), carrying the node's identifier in {@code data-node} and the
 * row in {@code data-row}; its track is a {@code rect} of class "track" with the same
 * attributes, so that the bars of one row add up to the width of their track.
 */
public final class NetworkPicture {
    private static final int FONT = 12;
    private static final int LINE = 17;
    private static final int PAD = 8;
    private static final int TRACK = 100;
    private static final int GAP_X = 40;
    private static final int GAP_Y = 56;
    private static final int FRAME_PAD = 14;
    private static final int FRAME_TITLE = 20;
    private static final int MAX_ROWS = 6;
    private static final int MAX_LABEL = 24;
    private static final double MAX_SPREAD = 6;
    private static final int BEND = 12;
    private static final int MAX_OWN_SIZE = 400;

    private static final int CPT = 18;
    private static final int TRUTH_TABLE = 20;
    private static final int DECISION = 17;
    private static final int UTILITY = 8;
    private static final int MAU = 520;
    private static final int EQUATION = 4;
    private static final int PLATE = 3;
    private static final int UNSET = 0x80000001;

    private final Network net;
    private final Map<Integer, Box> boxes = new LinkedHashMap<>();
    private final List<Frame> frames = new ArrayList<>();
    private final List<double[]> waypoints = new ArrayList<>();
    private final Map<Long, List<double[]>> bends = new HashMap<>();  // by arcKey(parent, child)

    private NetworkPicture(Network net) {
        this.net = net;
    }

    /**
     * Draws the network as an SVG document.
     *
     * @param net the network
     * @return the document's text
     */
    public static String toSvg(Network net) {
        if (net == null) {
            throw new QELTAException("Network can't be null");
        }
        NetworkPicture picture = new NetworkPicture(net);
        picture.measure();
        picture.place();
        return picture.render();
    }

    /**
     * Writes the network's picture to an SVG file (UTF-8), replacing the file.
     *
     * @param net the network
     * @param file the file's path
     * @throws IOException when the file cannot be written
     */
    public static void write(Network net, Path file) throws IOException {
        Files.write(file, toSvg(net).getBytes(StandardCharsets.UTF_8));
    }

    /**
     * Reads a network file, sets evidence, updates the beliefs and writes the picture.
     *
     * <p>Usage: {@code java -cp qelta.jar qelta.NetworkPicture network-file svg-file
     * [node=outcome ...]}
     *
     * @param args the network file, the SVG file, then evidence as node=outcome
     * @throws IOException when the picture cannot be written
     */
    public static void main(String[] args) throws IOException {
        if (args.length < 2) {
            System.err.println("usage: NetworkPicture network-file svg-file [node=outcome ...]");
            System.exit(2);
        }
        try (Network net = new Network()) {
            net.readFile(args[0]);
            for (int i = 2; i < args.length; i++) {
                int at = args[i].indexOf('=');
                if (at < 0) {
                    throw new QELTAException("Evidence must read node=outcome: " + args[i]);
                }
                net.setEvidence(args[i].substring(0, at), args[i].substring(at + 1));
            }
            net.updateBeliefs();
            write(net, Path.of(args[1]));
        }
    }

    // -------- What each node shows

    /** One line of a node's box. */
    private static final class Line {
        String label = "";
        String number = "";
        double fraction = -1;   // bar length against the track; -1 for no bar
        String barClass = "bar";
        int row;
        boolean heading;
    }

    /** A node's box: its lines, its size and, once placed, its position (top left). */
    private static final class Box {
        final int node;
        String title;
        final List<Line> lines = new ArrayList<>();
        double labelWidth;
        double width;
        double height;
        double x;
        double y;
        int kind;

        Box(int node) {
            this.node = node;
        }

        double cx() {
            return x + width / 2;
        }

        double cy() {
            return y + height / 2;
        }
    }

    /** A submodel's frame, placed. */
    private static final class Frame {
        String id;
        String title;
        double x;
        double y;
        double width;
        double height;
    }

    private void measure() {
        for (int node : net.getAllNodes()) {
            Box box = new Box(node);
            box.kind = net.getNodeType(node);
            String id = net.getNodeId(node);
            String name = net.getNodeName(node);
            box.title = clip(name == null || name.isEmpty() ? id : name, 40);
            try {
                describe(box);
            } catch (QELTAException e) {
                // A value this class cannot read leaves the node with its name alone.
                box.lines.clear();
            }
            double label = 0;
            double number = 0;
            boolean bars = false;
            double plain = textWidth(box.title) * 13.0 / FONT * 1.1;  // bold, larger
            for (Line line : box.lines) {
                if (line.fraction >= 0 || !line.number.isEmpty()) {
                    // An observed outcome's label and number are bold: a tenth wider.
                    label = Math.max(label, textWidth(line.label) * 1.1);
                    number = Math.max(number, textWidth(line.number) * 1.1);
                    bars |= line.fraction >= 0;
                } else {
                    plain = Math.max(plain, textWidth(line.label));
                }
            }
            box.labelWidth = label;
            double rows = label + (bars ? TRACK + 2 * PAD : PAD) + number;
            // At least the node's own size, within reason.
            Rectangle own = net.getNodePosition(node);
            box.width = Math.ceil(Math.max(Math.max(plain, rows) + 2 * PAD,
                    Math.min(own.width, MAX_OWN_SIZE)));
            box.height = Math.max(LINE + PAD + box.lines.size() * LINE
                    + (box.lines.isEmpty() ? 0 : PAD / 2), Math.min(own.height, MAX_OWN_SIZE));
            boxes.put(node, box);
        }
    }

    private void describe(Box box) {
        int node = box.node;
        if (!net.isValueValid(node)) {
            Line line = new Line();
            line.label = "no valid value";
            box.lines.add(line);
            return;
        }
        if (box.kind == EQUATION) {
            describeEquation(box);
            return;
        }
        double[] value = net.getNodeValue(node);
        boolean outcomes = (box.kind & 16) != 0;
        String[] ids = outcomes ? net.getOutcomeIds(node) : new String[] {"expected utility"};
        int width = ids.length;
        int rows = width == 0 ? 0 : value.length / width;
        boolean plate = net.getNodeTemporalType(node) == PLATE && rows == net.getSliceCount();
        int[] indexing = plate ? new int[0] : net.getValueIndexingParents(node);
        if (outcomes && box.kind != DECISION && net.isVirtualEvidence(node)) {
            Line line = new Line();
            line.label = "virtual evidence";
            box.lines.add(line);
        }
        for (int row = 0; row < rows; row++) {
            if (rows > MAX_ROWS && row == MAX_ROWS / 2) {
                Line skip = new Line();
                skip.label = "\u2026 " + (rows - MAX_ROWS) + " more";
                box.lines.add(skip);
                row = rows - MAX_ROWS / 2;
            }
            if (rows > 1) {
                Line heading = new Line();
                heading.heading = true;
                heading.label = clip(plate ? "slice " + row : condition(indexing, row), 48);
                box.lines.add(heading);
            }
            double[] items = Arrays.copyOfRange(value, row * width, (row + 1) * width);
            int observed = observedOutcome(node, plate, row);
            if (box.kind == DECISION && observed < 0) {
                addUtilities(box, ids, items, row);
            } else if (!outcomes) {
                Line line = new Line();
                line.label = "expected utility";
                line.number = number(items[0]);
                line.row = row;
                box.lines.add(line);
            } else {
                addBeliefs(box, ids, items, row, observed, implied(node, plate, row));
            }
        }
    }

    private void describeEquation(Box box) {
        int node = box.node;
        if (net.isEvidence(node)) {
            Line line = new Line();
            line.label = "observed = " + number(net.getContEvidence(node));
            box.lines.add(line);
            return;
        }
        if (net.isValueDiscretized(node)) {
            DiscretizationInterval[] intervals = net.getNodeEquationDiscretization(node);
            String[] ids = new String[intervals.length];
            for (int i = 0; i < ids.length; i++) {
                ids[i] = intervals[i].id();
            }
            double[] value = net.getNodeValue(node);
            if (value.length == ids.length) {
                addBeliefs(box, ids, value, 0, -1, false);
                return;
            }
        }
        Line mean = new Line();
        try {
            mean.label = "mean " + number(net.getNodeMean(node))
                    + ", sd " + number(net.getNodeStdDev(node));
        } catch (QELTAException e) {
            mean.label = "no finite mean";
        }
        box.lines.add(mean);
    }

    private void addBeliefs(Box box, String[] ids, double[] p, int row, int observed,
            boolean implied) {
        for (int i = 0; i < ids.length; i++) {
            Line line = new Line();
            line.label = clip(ids[i], MAX_LABEL);
            double q = p[i];
            line.fraction = Double.isFinite(q) ? Math.min(1.0, Math.max(0.0, q)) : 0.0;
            line.number = String.format(Locale.ROOT, "%.3f", q);
            line.row = row;
            if (i == observed) {
                line.barClass = implied ? "bar implied" : "bar observed";
            }
            box.lines.add(line);
        }
    }

    private void addUtilities(Box box, String[] ids, double[] u, int row) {
        double lo = Double.POSITIVE_INFINITY;
        double hi = Double.NEGATIVE_INFINITY;
        for (double v : u) {
            if (Double.isFinite(v)) {
                lo = Math.min(lo, v);
                hi = Math.max(hi, v);
            }
        }
        double best = hi;
        // The scale takes in 0, so that close utilities look close.
        lo = Math.min(lo, 0.0);
        hi = Math.max(hi, 0.0);
        for (int i = 0; i < ids.length; i++) {
            Line line = new Line();
            line.label = clip(ids[i], MAX_LABEL);
            line.number = number(u[i]);
            line.fraction = !Double.isFinite(u[i]) ? 0.0 : hi > lo ? (u[i] - lo) / (hi - lo) : 1.0;
            line.barClass = u[i] == best ? "utility best" : "utility";
            line.row = row;
            box.lines.add(line);
        }
    }

    /** What row r of a value indexed by these nodes stands for; the last varies fastest. */
    private String condition(int[] indexing, int row) {
        StringBuilder text = new StringBuilder();
        for (int k = indexing.length - 1; k >= 0; k--) {
            String[] ids = net.getOutcomeIds(indexing[k]);
            String part = net.getNodeId(indexing[k]) + " = " + ids[row % ids.length];
            text.insert(0, text.length() == 0 ? part : part + ", ");
            row /= ids.length;
        }
        return text.toString();
    }

    private int observedOutcome(int node, boolean plate, int row) {
        if ((net.getNodeType(node) & 16) == 0) {
            return -1;
        }
        if (plate && temporalEvidence(node, row)) {
            return net.getTemporalEvidence(node, row);
        }
        return net.isEvidence(node) && (!plate || row == 0) ? net.getEvidence(node) : -1;
    }

    private boolean implied(int node, boolean plate, int row) {
        return !(plate && temporalEvidence(node, row)) && net.isPropagatedEvidence(node)
                && !net.isRealEvidence(node);
    }

    private boolean temporalEvidence(int node, int slice) {
        try {
            return net.isTemporalEvidence(node, slice);
        } catch (QELTAException e) {
            return false;  // a slice that holds ordinary evidence only
        }
    }

    // -------- Layout

    private void place() {
        if (!positioned() || !placeAtPositions()) {
            placeBlock(net.getMainSubmodel(), 0, 0);
        }
    }

    /** Whether the nodes' own positions are usable: no two share a centre. */
    private boolean positioned() {
        Map<Long, Integer> centres = new HashMap<>();
        for (int node : boxes.keySet()) {
            Rectangle r = net.getNodePosition(node);
            long key = ((long) (r.x + r.width / 2) << 32) ^ (r.y + r.height / 2 & 0xffffffffL);
            if (centres.put(key, node) != null) {
                return false;
            }
        }
        return true;
    }

    /** Places the nodes at their positions; false when they stand too close for their boxes. */
    private boolean placeAtPositions() {
        List<Box> all = new ArrayList<>(boxes.values());
        double[] cx = new double[all.size()];
        double[] cy = new double[all.size()];
        for (int i = 0; i < all.size(); i++) {
            Rectangle r = net.getNodePosition(all.get(i).node);
            cx[i] = r.x + r.width / 2.0;
            cy[i] = r.y + r.height / 2.0;
        }
        // The least uniform spread that keeps every pair apart (boxes grow with their text).
        double scale = 1.0;
        for (int i = 0; i < all.size(); i++) {
            for (int j = i + 1; j < all.size(); j++) {
                Box a = all.get(i);
                Box b = all.get(j);
                double dx = Math.abs(cx[i] - cx[j]);
                double dy = Math.abs(cy[i] - cy[j]);
                double needX = dx > 0 ? ((a.width + b.width) / 2 + GAP_X / 2.0) / dx : 1e9;
                double needY = dy > 0 ? ((a.height + b.height) / 2 + GAP_Y / 2.0) / dy : 1e9;
                scale = Math.max(scale, Math.min(needX, needY));
            }
        }
        if (scale > MAX_SPREAD) {
            return false;
        }
        for (int i = 0; i < all.size(); i++) {
            Box box = all.get(i);
            box.x = cx[i] * scale - box.width / 2;
            box.y = cy[i] * scale - box.height / 2;
        }
        frameAround(net.getMainSubmodel(), 0);
        return true;
    }

    /** Frames the submodels below this one around their nodes; answers the nodes' bounds. */
    private double[] frameAround(int submodel, int depth) {
        double[] bounds = emptyBounds();
        for (Box box : boxes.values()) {
            if (net.getSubmodelOfNode(box.node) == submodel) {
                grow(bounds, box.x, box.y, box.x + box.width, box.y + box.height);
            }
        }
        for (int child : childSubmodels(submodel)) {
            double[] inner = frameAround(child, depth + 1);
            if (inner[0] > inner[2]) {
                continue;  // nothing inside: no frame
            }
            Frame frame = new Frame();
            frame.id = net.getSubmodelId(child);
            frame.title = submodelTitle(child);
            frame.x = inner[0] - FRAME_PAD;
            frame.y = inner[1] - FRAME_PAD - FRAME_TITLE;
            frame.width = inner[2] - inner[0] + 2 * FRAME_PAD;
            frame.height = inner[3] - inner[1] + 2 * FRAME_PAD + FRAME_TITLE;
            frames.add(frame);
            grow(bounds, frame.x, frame.y, frame.x + frame.width, frame.y + frame.height);
        }
        return bounds;
    }

    /** One item of a submodel's layered layout: a node, or a framed block of a submodel. */
    private static final class Item {
        Box box;            // null for a block
        int submodel;
        double width;
        double height;
        int layer;
        double order;
        double[] point;     // a bend of a long arc: x, then the top and bottom of its layer
        List<Box> members = new ArrayList<>();
        List<Frame> innerFrames = new ArrayList<>();
        List<double[]> innerPoints = new ArrayList<>();
    }

    /** Lays a submodel out with its top left at (x, y); answers its size. */
    private double[] placeBlock(int submodel, double x, double y) {
        List<Item> items = new ArrayList<>();
        Map<Integer, Item> itemOfNode = new HashMap<>();
        for (Box box : boxes.values()) {
            if (net.getSubmodelOfNode(box.node) == submodel) {
                Item item = new Item();
                item.box = box;
                item.width = box.width;
                item.height = box.height;
                item.members.add(box);
                items.add(item);
                itemOfNode.put(box.node, item);
            }
        }
        for (int child : childSubmodels(submodel)) {
            int framesBefore = frames.size();
            int pointsBefore = waypoints.size();
            double[] size = placeBlock(child, FRAME_PAD, FRAME_PAD + FRAME_TITLE);
            if (size[0] == 0) {
                continue;
            }
            Item item = new Item();
            item.submodel = child;
            item.width = size[0] + 2 * FRAME_PAD;
            item.height = size[1] + 2 * FRAME_PAD + FRAME_TITLE;
            for (Box box : boxes.values()) {
                if (isWithin(net.getSubmodelOfNode(box.node), child)) {
                    item.members.add(box);
                    itemOfNode.put(box.node, item);
                }
            }
            item.innerFrames.addAll(frames.subList(framesBefore, frames.size()));
            item.innerPoints.addAll(waypoints.subList(pointsBefore, waypoints.size()));
            Frame frame = new Frame();
            frame.id = net.getSubmodelId(child);
            frame.title = submodelTitle(child);
            frame.width = item.width;
            frame.height = item.height;
            frames.add(frame);
            item.innerFrames.add(frame);
            items.add(item);
        }
        if (items.isEmpty()) {
            return new double[] {0, 0};
        }
        // Layers: the longest chain of arcs from above, relaxed at most once per item.
        List<int[]> edges = new ArrayList<>();
        Map<Long, int[]> edgeOfArc = new LinkedHashMap<>();
        for (Item item : items) {
            for (Box member : item.members) {
                for (int parent : net.getParents(member.node)) {
                    Item from = itemOfNode.get(parent);
                    if (from != null && from != item) {
                        int[] e = {items.indexOf(from), items.indexOf(item)};
                        edges.add(e);
                        edgeOfArc.put(arcKey(parent, member.node), e);
                    }
                }
            }
        }
        int realCount = items.size();
        for (int round = 0; round < realCount; round++) {
            boolean changed = false;
            for (int[] e : edges) {
                Item from = items.get(e[0]);
                Item to = items.get(e[1]);
                if (to.layer < from.layer + 1 && from.layer + 1 < realCount) {
                    to.layer = from.layer + 1;
                    changed = true;
                }
            }
            if (!changed) {
                break;
            }
        }
        // An arc across several layers bends through a narrow item in each layer between, so
        // that it passes beside the boxes there.
        Map<Long, List<Item>> chains = new HashMap<>();
        List<int[]> steps = new ArrayList<>();
        for (int[] e : edges) {
            Item from = items.get(e[0]);
            Item to = items.get(e[1]);
            if (to.layer <= from.layer + 1) {
                steps.add(e);
                continue;
            }
            long pair = arcKey(e[0], e[1]);
            if (chains.containsKey(pair)) {
                continue;
            }
            List<Item> chain = new ArrayList<>();
            int previous = e[0];
            for (int l = from.layer + 1; l < to.layer; l++) {
                Item bend = new Item();
                bend.submodel = -1;
                bend.width = BEND;
                bend.layer = l;
                bend.point = new double[3];
                waypoints.add(bend.point);
                items.add(bend);
                chain.add(bend);
                steps.add(new int[] {previous, items.size() - 1});
                previous = items.size() - 1;
            }
            steps.add(new int[] {previous, e[1]});
            chains.put(pair, chain);
        }
        for (Map.Entry<Long, int[]> arc : edgeOfArc.entrySet()) {
            List<Item> chain = chains.get(arcKey(arc.getValue()[0], arc.getValue()[1]));
            if (chain != null) {
                List<double[]> points = new ArrayList<>();
                for (Item bend : chain) {
                    points.add(bend.point);
                }
                bends.put(arc.getKey(), points);
            }
        }
        int layerCount = 0;
        for (Item item : items) {
            layerCount = Math.max(layerCount, item.layer + 1);
        }
        List<List<Item>> layers = new ArrayList<>();
        for (int l = 0; l < layerCount; l++) {
            layers.add(new ArrayList<>());
        }
        for (Item item : items) {
            layers.get(item.layer).add(item);
        }
        // Within a layer, items follow the mean position of what leads to them from above.
        for (int l = 0; l < layerCount; l++) {
            List<Item> layer = layers.get(l);
            for (int k = 0; k < layer.size(); k++) {
                Item item = layer.get(k);
                double sum = 0;
                int count = 0;
                for (int[] e : steps) {
                    if (items.get(e[1]) == item && items.get(e[0]).layer < l) {
                        sum += items.get(e[0]).order;
                        count++;
                    }
                }
                item.order = count > 0 ? sum / count : k;
            }
            layer.sort((a, b) -> Double.compare(a.order, b.order));
            for (int k = 0; k < layer.size(); k++) {
                layer.get(k).order = k;
            }
        }
        double widest = 0;
        for (List<Item> layer : layers) {
            double w = -GAP_X;
            for (Item item : layer) {
                w += item.width + GAP_X;
            }
            widest = Math.max(widest, w);
        }
        double top = y;
        for (List<Item> layer : layers) {
            double w = -GAP_X;
            double h = 0;
            for (Item item : layer) {
                w += item.width + GAP_X;
                h = Math.max(h, item.height);
            }
            double left = x + (widest - w) / 2;
            for (Item item : layer) {
                double ix = left;
                double iy = top + (h - item.height) / 2;
                if (item.box != null) {
                    item.box.x = ix;
                    item.box.y = iy;
                } else if (item.point != null) {
                    item.point[0] = ix + item.width / 2;
                    item.point[1] = top;
                    item.point[2] = top + h;
                } else {
                    // The block was laid out at (FRAME_PAD, FRAME_PAD + FRAME_TITLE) inside
                    // a frame at the origin: move it, its frames and its bends to the item's place.
                    for (Box member : item.members) {
                        member.x += ix;
                        member.y += iy;
                    }
                    for (Frame frame : item.innerFrames) {
                        frame.x += ix;
                        frame.y += iy;
                    }
                    for (double[] point : item.innerPoints) {
                        point[0] += ix;
                        point[1] += iy;
                        point[2] += iy;
                    }
                }
                left += item.width + GAP_X;
            }
            top += h + GAP_Y;
        }
        return new double[] {widest, top - GAP_Y - y};
    }

    private static long arcKey(int parent, int child) {
        return ((long) parent << 32) | (child & 0xffffffffL);
    }

    private List<Integer> childSubmodels(int submodel) {
        List<Integer> children = new ArrayList<>();
        for (int s = net.getFirstSubmodel(); s >= 0; s = net.getNextSubmodel(s)) {
            if (s != net.getMainSubmodel() && net.getSubmodelOfSubmodel(s) == submodel) {
                children.add(s);
            }
        }
        return children;
    }

    private boolean isWithin(int submodel, int ancestor) {
        int main = net.getMainSubmodel();
        for (int s = submodel, guard = 0; guard <= 32768; guard++) {
            if (s == ancestor) {
                return true;
            }
            if (s == main || s < 0) {
                return false;
            }
            s = net.getSubmodelOfSubmodel(s);
        }
        return false;
    }

    private String submodelTitle(int submodel) {
        String name = net.getSubmodelName(submodel);
        return clip(name == null || name.isEmpty() ? net.getSubmodelId(submodel) : name, 60);
    }

    private static double[] emptyBounds() {
        double far = Double.MAX_VALUE;
        return new double[] {far, far, -far, -far};
    }

    private static void grow(double[] b, double x0, double y0, double x1, double y1) {
        b[0] = Math.min(b[0], x0);
        b[1] = Math.min(b[1], y0);
        b[2] = Math.max(b[2], x1);
        b[3] = Math.max(b[3], y1);
    }

    // -------- Drawing

    private String render() {
        double[] b = emptyBounds();
        for (Box box : boxes.values()) {
            grow(b, box.x, box.y, box.x + box.width, box.y + box.height);
        }
        for (Frame f : frames) {
            grow(b, f.x, f.y, f.x + f.width, f.y + f.height);
        }
        for (Box box : boxes.values()) {
            // Room for a temporal loop and its label on the right.
            if (net.getNodeTemporalType(box.node) == PLATE) {
                grow(b, box.x, box.y, box.x + box.width + 100, box.y + box.height);
            }
        }
        if (boxes.isEmpty() && frames.isEmpty()) {
            b = new double[] {0, 0, 0, 0};
        }
        double margin = 24;
        double titleHeight = 28;
        double ox = margin - b[0];
        double oy = margin + titleHeight - b[1];
        double width = Math.ceil(b[2] - b[0] + 2 * margin + 40);
        double height = Math.ceil(b[3] - b[1] + 2 * margin + titleHeight + 20);
        StringBuilder s = new StringBuilder();
        s.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        s.append("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"")
                .append(attr("width", width)).append(attr("height", height))
                .append(" viewBox=\"0 0 ").append(fmt(width)).append(' ').append(fmt(height))
                .append("\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\"")
                .append(" font-size=\"").append(FONT).append("\">\n");
        s.append("<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\""
                + " markerWidth=\"8\" markerHeight=\"8\" orient=\"auto-start-reverse\">"
                + "<path d=\"M0,0 L10,5 L0,10 z\" fill=\"#444\"/></marker></defs>\n");
        s.append("<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
        // A network without a name of its own keeps the engine's "Unnamed": its identifier
        // says more.
        String name = net.getName();
        String id = net.getId();
        String title = name == null || name.isEmpty() || name.equals("Unnamed") ? id : name;
        s.append("<text class=\"network\" x=\"").append(fmt(margin)).append("\" y=\"")
                .append(fmt(margin + 4)).append("\" font-size=\"15\" font-weight=\"bold\">")
                .append(escape(clip(title, 80))).append("</text>\n");
        // A frame comes after the frames inside it: drawn last first, outer under inner.
        for (int i = frames.size() - 1; i >= 0; i--) {
            Frame f = frames.get(i);
            s.append("<g class=\"submodel\" data-submodel=\"").append(escape(f.id))
                    .append("\"><rect").append(attr("x", f.x + ox))
                    .append(attr("y", f.y + oy)).append(attr("width", f.width))
                    .append(attr("height", f.height))
                    .append(" rx=\"6\" fill=\"#f4f4f8\" stroke=\"#8888aa\" stroke-width=\"1.5\"/>")
                    .append("<text").append(attr("x", f.x + ox + 8))
                    .append(attr("y", f.y + oy + 15))
                    .append(" font-weight=\"bold\" fill=\"#555577\">").append(escape(f.title))
                    .append("</text></g>\n");
        }
        for (Box child : boxes.values()) {
            for (int parent : net.getParents(child.node)) {
                Box from = boxes.get(parent);
                if (from != null) {
                    arrow(s, from, child, bends.getOrDefault(arcKey(parent, child.node), List.of()),
                            ox, oy, false, "");
                }
            }
            if (net.getNodeTemporalType(child.node) == PLATE) {
                for (int order : net.getTemporalOrders(child.node)) {
                    for (TemporalInfo t : net.getTemporalParents(child.node, order)) {
                        Box from = boxes.get(t.handle());
                        if (from != null) {
                            arrow(s, from, child, List.of(), ox, oy, true, "order " + order);
                        }
                    }
                }
            }
        }
        for (Box box : boxes.values()) {
            node(s, box, ox, oy);
        }
        s.append("</svg>\n");
        return s.toString();
    }

    private void arrow(StringBuilder s, Box from, Box to, List<double[]> via, double ox, double oy,
            boolean temporal, String label) {
        String style = temporal ? " stroke-dasharray=\"6 4\"" : "";
        if (from == to) {
            // A temporal arc of a node to itself: a loop on its right side.
            double x = to.x + to.width + ox;
            double y0 = to.y + oy + to.height * 0.3;
            double y1 = to.y + oy + to.height * 0.7;
            s.append("<path class=\"arc temporal\" d=\"M").append(fmt(x)).append(',')
                    .append(fmt(y0)).append(" C").append(fmt(x + 40)).append(',').append(fmt(y0))
                    .append(' ').append(fmt(x + 40)).append(',').append(fmt(y1)).append(' ')
                    .append(fmt(x)).append(',').append(fmt(y1))
                    .append("\" fill=\"none\" stroke=\"#444\" stroke-width=\"1.5\"")
                    .append(style).append(" marker-end=\"url(#arrow)\"/>\n");
            s.append("<text").append(attr("x", x + 34)).append(attr("y", (y0 + y1) / 2 + 4))
                    .append(" font-size=\"11\" fill=\"#444\">").append(escape(label))
                    .append("</text>\n");
            return;
        }
        // A bend runs straight down its layer, beside the boxes there.
        double[] first = via.isEmpty() ? new double[] {to.cx(), to.cy()} : via.get(0);
        double[] last = via.isEmpty() ? null : via.get(via.size() - 1);
        double[] a = border(from, first[0] - from.cx(), first[1] - from.cy());
        double[] b = last == null ? border(to, from.cx() - to.cx(), from.cy() - to.cy())
                : border(to, last[0] - to.cx(), last[2] - to.cy());
        StringBuilder d = new StringBuilder("M").append(fmt(a[0] + ox)).append(',')
                .append(fmt(a[1] + oy));
        double labelX = (a[0] + b[0]) / 2;
        double labelY = (a[1] + b[1]) / 2;
        if (temporal) {
            // Bent to one side, apart from an ordinary arc between the same two nodes.
            double dx = b[0] - a[0];
            double dy = b[1] - a[1];
            double length = Math.max(1, Math.hypot(dx, dy));
            double cx = labelX - dy / length * 36;
            double cy = labelY + dx / length * 36;
            d.append(" Q").append(fmt(cx + ox)).append(',').append(fmt(cy + oy));
            labelX = (labelX + cx) / 2;
            labelY = (labelY + cy) / 2;
        } else {
            for (double[] p : via) {
                d.append(" L").append(fmt(p[0] + ox)).append(',').append(fmt(p[1] + oy))
                        .append(" L").append(fmt(p[0] + ox)).append(',').append(fmt(p[2] + oy));
            }
        }
        d.append(temporal ? " " : " L").append(fmt(b[0] + ox)).append(',').append(fmt(b[1] + oy));
        s.append("<path class=\"arc").append(temporal ? " temporal" : "").append("\" d=\"")
                .append(d).append("\" fill=\"none\" stroke=\"#444\" stroke-width=\"1.5\"")
                .append(style).append(" marker-end=\"url(#arrow)\"/>\n");
        if (!label.isEmpty()) {
            s.append("<text").append(attr("x", labelX + ox + 4)).append(attr("y", labelY + oy))
                    .append(" font-size=\"11\" fill=\"#444\">").append(escape(label))
                    .append("</text>\n");
        }
    }

    /** Where a ray from the box's centre in direction (dx, dy) leaves the box. */
    private static double[] border(Box box, double dx, double dy) {
        double hw = box.width / 2;
        double hh = box.height / 2;
        double t = Math.min(dx == 0 ? Double.MAX_VALUE : hw / Math.abs(dx),
                dy == 0 ? Double.MAX_VALUE : hh / Math.abs(dy));
        if (t == Double.MAX_VALUE) {
            t = 0;
        }
        return new double[] {box.cx() + dx * t, box.cy() + dy * t};
    }

    private void node(StringBuilder s, Box box, double ox, double oy) {
        double x = box.x + ox;
        double y = box.y + oy;
        String id = net.getNodeId(box.node);
        String fill = colour(net.getNodeBgColor(box.node), "#e5f6f7");
        String stroke = colour(net.getNodeBorderColor(box.node), "#0000bb");
        String ink = colour(net.getNodeTextColor(box.node), "#000000");
        int borderWidth = net.getNodeBorderWidth(box.node);
        double strokeWidth = borderWidth == UNSET || borderWidth < 1 ? 1 : Math.min(borderWidth, 6);
        s.append("<g class=\"node\" data-node=\"").append(escape(id))
                .append("\" data-submodel=\"")
                .append(escape(net.getSubmodelId(net.getSubmodelOfNode(box.node))))
                .append("\"><title>")
                .append(escape(id)).append("</title>\n");
        String outline = attr("fill", fill) + attr("stroke", stroke)
                + attr("stroke-width", strokeWidth);
        if (box.kind == UTILITY || box.kind == MAU) {
            double c = Math.min(12, box.height / 3);
            s.append("<polygon class=\"frame\" points=\"")
                    .append(points(x + c, y, x + box.width - c, y, x + box.width, y + c,
                            x + box.width, y + box.height - c, x + box.width - c, y + box.height,
                            x + c, y + box.height, x, y + box.height - c, x, y + c))
                    .append('"').append(outline).append("/>\n");
        } else {
            double r = box.kind == DECISION ? 0 : 8;
            s.append("<rect class=\"frame\"").append(attr("x", x)).append(attr("y", y))
                    .append(attr("width", box.width)).append(attr("height", box.height))
                    .append(attr("rx", r)).append(outline).append("/>\n");
            if (box.kind == TRUTH_TABLE || box.kind == EQUATION) {
                // A deterministic or continuous node: a second border inside.
                s.append("<rect").append(attr("x", x + 3)).append(attr("y", y + 3))
                        .append(attr("width", box.width - 6)).append(attr("height", box.height - 6))
                        .append(attr("rx", Math.max(0, r - 3))).append(" fill=\"none\"")
                        .append(attr("stroke", stroke)).append(" stroke-width=\"1\"/>\n");
            }
        }
        s.append("<text").append(attr("x", x + box.width / 2)).append(attr("y", y + PAD + 12))
                .append(" text-anchor=\"middle\" font-weight=\"bold\" font-size=\"13\"")
                .append(attr("fill", ink)).append('>').append(escape(box.title))
                .append("</text>\n");
        double lineY = y + LINE + PAD;
        double trackX = x + PAD + box.labelWidth + PAD;
        for (Line line : box.lines) {
            double base = lineY + 12;
            if (line.heading || (line.fraction < 0 && line.number.isEmpty())) {
                s.append("<text").append(attr("x", x + PAD)).append(attr("y", base))
                        .append(line.heading ? " font-style=\"italic\"" : " fill=\"#555\"")
                        .append('>').append(escape(line.label)).append("</text>\n");
                lineY += LINE;
                continue;
            }
            boolean observed = line.barClass.contains("observed");
            s.append("<text").append(attr("x", x + PAD)).append(attr("y", base))
                    .append(observed ? " font-weight=\"bold\"" : "").append(attr("fill", ink))
                    .append('>').append(escape(line.label)).append("</text>\n");
            double numberX = trackX;
            if (line.fraction >= 0) {
                String data = " data-node=\"" + escape(id) + "\" data-row=\"" + line.row + "\"";
                // Probabilities fill their track; utilities are drawn against a scale.
                String track = line.barClass.startsWith("bar") ? "track" : "scale";
                s.append("<rect class=\"").append(track).append('"').append(data)
                        .append(attr("x", trackX))
                        .append(attr("y", lineY + 3)).append(attr("width", TRACK))
                        .append(attr("height", LINE - 6))
                        .append(" fill=\"#ffffff\" stroke=\"#bbbbbb\" stroke-width=\"0.5\"/>\n");
                s.append("<rect class=\"").append(line.barClass).append('"').append(data)
                        .append(attr("x", trackX)).append(attr("y", lineY + 3))
                        .append(attr("width", line.fraction * TRACK))
                        .append(attr("height", LINE - 6))
                        .append(attr("fill", barColour(line.barClass))).append("/>\n");
                numberX = trackX + TRACK + PAD;
            }
            s.append("<text").append(attr("x", numberX)).append(attr("y", base))
                    .append(observed ? " font-weight=\"bold\"" : "").append(attr("fill", ink))
                    .append('>').append(escape(line.number)).append("</text>\n");
            lineY += LINE;
        }
        s.append("</g>\n");
    }

    private static String barColour(String barClass) {
        if (barClass.contains("observed")) {
            return "#d9534f";
        }
        if (barClass.contains("implied")) {
            return "#f0ad4e";
        }
        if (barClass.contains("best")) {
            return "#3c9d5d";
        }
        return barClass.startsWith("utility") ? "#8fbf9f" : "#4a7ebb";
    }

    /** The colour as SVG text; the fallback when it holds the unset marker. */
    private static String colour(Color c, String fallback) {
        if (c == null || (c.getRGB() & 0xffffff) == 0x010000) {
            return fallback;
        }
        return String.format(Locale.ROOT, "#%02x%02x%02x", c.getRed(), c.getGreen(), c.getBlue());
    }

    // -------- Text

    /** A generous guess of the width of text at FONT in a sans-serif face. */
    private static double textWidth(String text) {
        double width = 0;
        for (int i = 0; i < text.length(); ) {
            int c = text.codePointAt(i);
            i += Character.charCount(c);
            if ("ijlft.,:;'|!() ".indexOf(c) >= 0) {
                width += 4.0;
            } else if (c == 'm' || c == 'w' || c == 'M' || c == 'W') {
                width += 10.5;
            } else if (Character.isUpperCase(c)) {
                width += 8.6;
            } else if (c < 0x2E80) {
                width += 7.2;
            } else {
                width += 12.0;  // wide scripts
            }
        }
        return width;
    }

    private static String number(double v) {
        if (Double.isNaN(v)) {
            return "NaN";
        }
        if (Double.isInfinite(v)) {
            return v > 0 ? "inf" : "-inf";
        }
        double a = Math.abs(v);
        if (a != 0 && (a < 1e-3 || a >= 1e7)) {
            return String.format(Locale.ROOT, "%.4g", v);
        }
        String text = String.format(Locale.ROOT, "%.4f", v);
        text = text.replaceAll("0+$", "");
        return text.endsWith(".") ? text.substring(0, text.length() - 1) : text;
    }

    private static String clip(String text, int max) {
        if (text == null) {
            return "";
        }
        return text.codePointCount(0, text.length()) <= max ? text
                : text.substring(0, text.offsetByCodePoints(0, max - 1)) + "\u2026";
    }

    private static String fmt(double v) {
        String text = String.format(Locale.ROOT, "%.2f", v);
        text = text.replaceAll("0+$", "");
        return text.endsWith(".") ? text.substring(0, text.length() - 1) : text;
    }

    private static String attr(String name, double v) {
        return " " + name + "=\"" + fmt(v) + "\"";
    }

    private static String attr(String name, String v) {
        return " " + name + "=\"" + escape(v) + "\"";
    }

    private static String points(double... xy) {
        StringBuilder s = new StringBuilder();
        for (int i = 0; i < xy.length; i += 2) {
            s.append(i == 0 ? "" : " ").append(fmt(xy[i])).append(',').append(fmt(xy[i + 1]));
        }
        return s.toString();
    }

    /** Text made safe for XML: markup escaped, characters XML 1.0 cannot hold replaced. */
    private static String escape(String text) {
        StringBuilder s = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); ) {
            int c = text.codePointAt(i);
            i += Character.charCount(c);
            switch (c) {
                case '&' -> s.append("&amp;");
                case '<' -> s.append("&lt;");
                case '>' -> s.append("&gt;");
                case '"' -> s.append("&quot;");
                default -> {
                    boolean allowed = c == 0x9 || c == 0xA || c == 0xD
                            || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
                            || (c >= 0x10000 && c <= 0x10FFFF);
                    s.appendCodePoint(allowed ? c : 0xFFFD);
                }
            }
        }
        return s.toString();
    }
}
