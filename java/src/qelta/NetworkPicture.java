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
 * size, up to 400 pixels), do not overlap and leave room right of a box for its loops; a
 * submodel's frame encloses its nodes and its own submodels and is wide enough for its name.
 * When two nodes share a centre (as
 * every node of a network built without positions does), or stand so close that the spread
 * would be more than six-fold, the picture lays the nodes out by itself: each submodel in
 * layers from parents to children, its submodels drawn as framed blocks among its nodes, an arc
 * across several layers passing down beside the boxes between; a layer much wider than the
 * layout is tall is broken into rows, so that a large network is about as wide as it is high.
 *
 * <p>Every arc runs around the boxes of the nodes it does not join, clear of the submodels'
 * names, and ends at a point of a box no other arc ends at; where the boxes leave no way
 * between them, it is drawn straight. Arcs of different parents that cross a gap between
 * layers do so on tracks of their own, a few pixels apart as far as the gap's height allows.
 * Each arc is a {@code path} of class "arc" (with "temporal" added) naming its parent and
 * child in {@code data-from} and {@code data-to}. Temporal arcs are dashed and labelled with
 * their order (a {@code text} of class "order" naming the same two nodes), over no box, other
 * label or other arc: beside the arc, or as near to it as such a place is. A node's arcs to itself are loops side by side on the first
 * side of its box, of right, left, below and above, where they and their labels stay clear of
 * the other boxes, the submodels' names and other loops; on the right when no side is.
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
    private static final int BEND_GAP = 8;
    private static final int LEAD = 8;
    private static final double WRAP_WIDTH = 1.0;
    private static final double WRAP_AT = 5;
    private static final int MAX_GAP_Y = 400;
    private static final double ARC_SPACING = 3;
    private static final int ALIGN_SWEEPS = 8;
    private static final double ALIGN_ROOM = 1.15;
    private static final int LOOP = 36;
    private static final int LOOP_BAND = 18;
    private static final double ROUTE_MARGIN = 3;
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
    private final List<double[]> waypoints = new ArrayList<>();  // moved with their block
    private final Map<Long, List<double[]>> routes = new HashMap<>();  // by arcKey(parent, child)
    private final Map<Integer, List<Integer>> loops = new HashMap<>();  // a node's own orders
    private final Map<Integer, List<double[]>> loopShapes = new HashMap<>();  // placed loops
    private final List<Temporal> temporals = new ArrayList<>();

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
        picture.route();
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
            if (net.getNodeTemporalType(node) == PLATE) {
                for (int order : net.getTemporalOrders(node)) {
                    for (TemporalInfo info : net.getTemporalParents(node, order)) {
                        if (info.handle() == node) {
                            loops.computeIfAbsent(node, k -> new ArrayList<>()).add(order);
                        }
                    }
                }
            }
        }
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
            // Tall enough for its loops to itself to stand apart.
            box.height = Math.max(box.height,
                    LOOP_BAND * loops.getOrDefault(node, List.of()).size());
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
                // The left one's loops to itself take room on its right.
                double loops = loopRoom(cx[i] < cx[j] ? a : b);
                double needX = dx > 0 ? ((a.width + b.width) / 2 + loops + GAP_X / 2.0) / dx
                        : 1e9;
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
            frame.width = Math.max(inner[2] - inner[0] + 2 * FRAME_PAD, titleWidth(frame.title));
            frame.height = inner[3] - inner[1] + 2 * FRAME_PAD + FRAME_TITLE;
            frames.add(frame);
            grow(bounds, frame.x, frame.y, frame.x + frame.width, frame.y + frame.height);
        }
        return bounds;
    }

    /** One item of a submodel's layered layout: a node, a framed block of a submodel, a bend. */
    private static final class Item {
        Box box;            // null for a block or a bend
        boolean bend;       // a point a long arc passes through, in a layer between its ends
        double width;
        double height;
        int layer;
        double order;
        double x;
        final List<Item> up = new ArrayList<>();     // what leads here from the layer above
        final List<Item> down = new ArrayList<>();   // and on to the layer below
        final List<Box> members = new ArrayList<>();
        final List<Frame> innerFrames = new ArrayList<>();
        final List<double[]> innerPoints = new ArrayList<>();
    }

    /** An arc between two nodes of one submodel's layout, drawn through its chain of bends. */
    private static final class Run {
        long key;
        Item from;
        Item to;
        final List<Item> chain = new ArrayList<>();
        double startX;
        double endX;
    }

    /** Lays a submodel out with its top left at (x, y); answers its size. */
    private double[] placeBlock(int submodel, double x, double y) {
        List<Item> items = new ArrayList<>();
        Map<Integer, Item> itemOfNode = new HashMap<>();
        for (Box box : boxes.values()) {
            if (net.getSubmodelOfNode(box.node) == submodel) {
                Item item = new Item();
                item.box = box;
                item.width = box.width + loopRoom(box);
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
            Frame frame = new Frame();
            frame.id = net.getSubmodelId(child);
            frame.title = submodelTitle(child);
            // Wide enough for its title.
            item.width = Math.max(size[0] + 2 * FRAME_PAD, titleWidth(frame.title));
            item.height = size[1] + 2 * FRAME_PAD + FRAME_TITLE;
            for (Box box : boxes.values()) {
                if (isWithin(net.getSubmodelOfNode(box.node), child)) {
                    item.members.add(box);
                    itemOfNode.put(box.node, item);
                }
            }
            item.innerFrames.addAll(frames.subList(framesBefore, frames.size()));
            item.innerPoints.addAll(waypoints.subList(pointsBefore, waypoints.size()));
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
        List<Item[]> edges = new ArrayList<>();
        List<Run> runs = new ArrayList<>();
        for (Item item : items) {
            for (Box member : item.members) {
                for (int parent : net.getParents(member.node)) {
                    Item from = itemOfNode.get(parent);
                    if (from != null && from != item) {
                        edges.add(new Item[] {from, item});
                        if (from.box != null && item.box != null) {
                            Run run = new Run();
                            run.key = arcKey(parent, member.node);
                            run.from = from;
                            run.to = item;
                            runs.add(run);
                        }
                    }
                }
            }
        }
        int realCount = items.size();
        for (int round = 0; round < realCount; round++) {
            boolean changed = false;
            for (Item[] e : edges) {
                if (e[1].layer < e[0].layer + 1 && e[0].layer + 1 < realCount) {
                    e[1].layer = e[0].layer + 1;
                    changed = true;
                }
            }
            if (!changed) {
                break;
            }
        }
        for (Item[] e : edges) {
            if (e[1].layer == e[0].layer + 1) {
                e[0].down.add(e[1]);
                e[1].up.add(e[0]);
            }
        }
        List<List<Item>> layers = layers(items);
        order(layers);
        wrap(layers, items);
        // An arc across several layers bends through a narrow item in each layer between, so
        // that it passes beside the boxes there. Arcs to or from a block find their own way
        // once everything is placed.
        for (Item item : items) {
            item.up.clear();
            item.down.clear();
        }
        // The long arcs of one parent share their bends as far as they go together, so that a
        // node with many children far below draws one trunk rather than many.
        Map<Item, Map<Integer, Item>> trunks = new HashMap<>();
        for (Run run : runs) {
            if (run.to.layer <= run.from.layer) {
                continue;
            }
            Map<Integer, Item> trunk = trunks.computeIfAbsent(run.from, k -> new HashMap<>());
            Item previous = run.from;
            for (int l = run.from.layer + 1; l <= run.to.layer; l++) {
                Item next = l < run.to.layer ? trunk.get(l) : run.to;
                boolean fresh = next == null || l == run.to.layer;
                if (next == null) {
                    next = new Item();
                    next.bend = true;
                    next.width = BEND;
                    next.layer = l;
                    next.order = previous.order;
                    items.add(next);
                    trunk.put(l, next);
                }
                if (l < run.to.layer) {
                    run.chain.add(next);
                }
                if (fresh) {
                    previous.down.add(next);
                    next.up.add(previous);
                }
                previous = next;
            }
        }
        layers = layers(items);
        order(layers);
        // Across: each item as near its neighbours as the order and the gaps allow.
        align(layers);
        double leftmost = Double.MAX_VALUE;
        double rightmost = -Double.MAX_VALUE;
        for (Item item : items) {
            leftmost = Math.min(leftmost, item.x);
            rightmost = Math.max(rightmost, item.x + item.width);
        }
        double widest = rightmost - leftmost;
        // A gap crossed by many long arcs is made taller, so that they run apart.
        double[] gaps = new double[layers.size()];
        for (int l = 0; l < layers.size(); l++) {
            // The most arcs above one point of the gap, of those heading left and of those
            // heading right: each takes a track of its own.
            List<double[]> ends = new ArrayList<>();
            for (Item item : layers.get(l)) {
                for (Item below : item.down) {
                    double a = item.x + item.width / 2;
                    double b = below.x + below.width / 2;
                    ends.add(new double[] {Math.min(a, b), 1, a < b ? 1 : 0});
                    ends.add(new double[] {Math.max(a, b), -1, a < b ? 1 : 0});
                }
            }
            ends.sort((a, b) -> a[0] != b[0] ? Double.compare(a[0], b[0])
                    : Double.compare(b[1], a[1]));
            int[] over = new int[2];
            int[] most = new int[2];
            for (double[] end : ends) {
                int way = (int) end[2];
                over[way] += (int) end[1];
                most[way] = Math.max(most[way], over[way]);
            }
            gaps[l] = Math.min(MAX_GAP_Y,
                    Math.max(GAP_Y, ARC_SPACING * (most[0] + most[1] + 1) + 2 * LEAD));
        }
        double[] tops = new double[layers.size()];
        double[] bottoms = new double[layers.size()];
        double top = y;
        for (int l = 0; l < layers.size(); l++) {
            List<Item> layer = layers.get(l);
            double h = 0;
            for (Item item : layer) {
                h = Math.max(h, item.height);
            }
            tops[l] = top;
            bottoms[l] = top + h;
            for (Item item : layer) {
                item.x += x - leftmost;
                double ix = item.x;
                double iy = top + (h - item.height) / 2;
                if (item.box != null) {
                    item.box.x = ix;
                    item.box.y = iy;
                } else if (!item.bend) {
                    // The block was laid out at (FRAME_PAD, FRAME_PAD + FRAME_TITLE) inside
                    // a frame at the origin: move it, its frames and its arcs to the item's place.
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
                    }
                }
            }
            top += h + gaps[l];
        }
        drawRuns(runs, tops, bottoms);
        return new double[] {widest, top - gaps[layers.size() - 1] - y};
    }

    /** The items by layer, in their order. */
    private static List<List<Item>> layers(List<Item> items) {
        List<List<Item>> layers = new ArrayList<>();
        for (Item item : items) {
            while (layers.size() <= item.layer) {
                layers.add(new ArrayList<>());
            }
            layers.get(item.layer).add(item);
        }
        // Arcs in a cycle between blocks push their items down past layers nothing else
        // fills: leave those out.
        layers.removeIf(List::isEmpty);
        for (int l = 0; l < layers.size(); l++) {
            for (Item item : layers.get(l)) {
                item.layer = l;
            }
            layers.get(l).sort((a, b) -> Double.compare(a.order, b.order));
        }
        return layers;
    }

    /**
     * Orders each layer by the mean place of its neighbours, sweeping down, up and down again,
     * so that arcs cross less.
     */
    private static void order(List<List<Item>> layers) {
        for (List<Item> layer : layers) {
            for (int k = 0; k < layer.size(); k++) {
                layer.get(k).order = k;
            }
        }
        for (int sweep = 0; sweep < 3; sweep++) {
            boolean downward = sweep % 2 == 0;
            for (int i = 0; i < layers.size(); i++) {
                List<Item> layer = layers.get(downward ? i : layers.size() - 1 - i);
                for (Item item : layer) {
                    List<Item> near = downward ? item.up : item.down;
                    if (!near.isEmpty()) {
                        double sum = 0;
                        for (Item other : near) {
                            sum += other.order;
                        }
                        item.order = sum / near.size();
                    }
                }
                layer.sort((a, b) -> Double.compare(a.order, b.order));
                for (int k = 0; k < layer.size(); k++) {
                    layer.get(k).order = k;
                }
            }
        }
    }

    /**
     * Breaks the layers of a large layout much wider than it is tall into rows, so that a
     * large network gives a picture about as wide as it is high rather than a long strip.
     */
    private static void wrap(List<List<Item>> layers, List<Item> items) {
        double area = 0;
        double widest = 0;
        double widestItem = 0;
        double height = 0;
        for (List<Item> layer : layers) {
            widest = Math.max(widest, rowWidth(layer));
            double h = 0;
            for (Item item : layer) {
                area += (item.width + GAP_X) * (item.height + GAP_Y);
                widestItem = Math.max(widestItem, item.width);
                h = Math.max(h, item.height);
            }
            height += h + GAP_Y;
        }
        if (widest <= WRAP_AT * height) {
            return;
        }
        // Long arcs add bends to the rows between: leave them room.
        double limit = Math.max(widestItem, Math.sqrt(area) * WRAP_WIDTH);
        int next = 0;
        for (List<Item> layer : layers) {
            double w = 0;
            for (int k = 0; k < layer.size(); k++) {
                Item item = layer.get(k);
                if (k > 0 && w + GAP_X + item.width > limit) {
                    next++;
                    w = 0;
                }
                w += (w > 0 ? GAP_X : 0) + item.width;
                item.layer = next;
            }
            next++;
        }
        layers.clear();
        layers.addAll(layers(items));
    }

    /**
     * Places each layer's items from left to right, each as near the mean place of its
     * neighbours above (sweeping down) or below (sweeping up) as the gaps allow; a bend takes
     * both and weighs more, so that a long arc runs straight.
     */
    private static void align(List<List<Item>> layers) {
        double widest = 0;
        for (List<Item> layer : layers) {
            widest = Math.max(widest, rowWidth(layer));
        }
        for (List<Item> layer : layers) {
            double left = (widest - rowWidth(layer)) / 2;
            for (int k = 0; k < layer.size(); k++) {
                Item item = layer.get(k);
                left += k > 0 ? gap(layer.get(k - 1), item) : 0;
                item.x = left;
                left += item.width;
            }
        }
        for (int sweep = 0; sweep < ALIGN_SWEEPS; sweep++) {
            boolean downward = sweep % 2 == 0;
            for (int i = 0; i < layers.size(); i++) {
                List<Item> layer = layers.get(downward ? i : layers.size() - 1 - i);
                int n = layer.size();
                double[] want = new double[n];
                double[] weight = new double[n];
                double[] least = new double[n];  // the least distance from the first centre
                for (int k = 0; k < n; k++) {
                    Item item = layer.get(k);
                    double sum = 0;
                    int count = 0;
                    for (Item other : downward || item.bend ? item.up : item.down) {
                        sum += other.x + other.width / 2;
                        count++;
                    }
                    if (item.bend) {
                        for (Item other : item.down) {
                            sum += other.x + other.width / 2;
                            count++;
                        }
                    }
                    want[k] = count > 0 ? sum / count : item.x + item.width / 2;
                    weight[k] = count == 0 ? 0.01 : item.bend ? 4 : 1;
                    least[k] = k == 0 ? 0 : least[k - 1] + (layer.get(k - 1).width + item.width)
                            / 2 + gap(layer.get(k - 1), item);
                }
                double[] centre = nondecreasing(want, weight, least);
                // Within the room: clipping the shifted centres keeps them the nearest.
                double first = layer.get(0).width / 2;
                double room = widest * ALIGN_ROOM - rowWidth(layer);
                for (int k = 0; k < n; k++) {
                    double shift = Math.min(Math.max(centre[k] - least[k], first), first + room);
                    layer.get(k).x = shift + least[k] - layer.get(k).width / 2;
                }
            }
        }
    }

    /**
     * The centres nearest the wanted ones (least weighted squares) that keep each at least
     * its least distance after the first: pooling adjacent violators on the shifted values.
     */
    private static double[] nondecreasing(double[] want, double[] weight, double[] least) {
        int n = want.length;
        double[] mean = new double[n];
        double[] mass = new double[n];
        int[] length = new int[n];
        int blocks = 0;
        for (int k = 0; k < n; k++) {
            mean[blocks] = want[k] - least[k];
            mass[blocks] = weight[k];
            length[blocks] = 1;
            blocks++;
            while (blocks > 1 && mean[blocks - 2] >= mean[blocks - 1]) {
                double m = mass[blocks - 2] + mass[blocks - 1];
                mean[blocks - 2] = (mean[blocks - 2] * mass[blocks - 2]
                        + mean[blocks - 1] * mass[blocks - 1]) / m;
                mass[blocks - 2] = m;
                length[blocks - 2] += length[blocks - 1];
                blocks--;
            }
        }
        double[] out = new double[n];
        int k = 0;
        for (int b = 0; b < blocks; b++) {
            for (int j = 0; j < length[b]; j++, k++) {
                out[k] = mean[b] + least[k];
            }
        }
        return out;
    }

    private static double rowWidth(List<Item> layer) {
        double w = 0;
        for (int k = 0; k < layer.size(); k++) {
            w += layer.get(k).width + (k > 0 ? gap(layer.get(k - 1), layer.get(k)) : 0);
        }
        return w;
    }

    /** Bends side by side stand closer than boxes. */
    private static double gap(Item a, Item b) {
        return a.bend && b.bend ? BEND_GAP : GAP_X;
    }

    /**
     * The paths of the arcs between nodes of one layout: down from the parent's bottom to
     * below its row, across the gap, down through each bend, and into the child's top. Arcs
     * leave and enter a box at points spread along its side, in the order of where they go.
     */
    private void drawRuns(List<Run> runs, double[] tops, double[] bottoms) {
        Map<Item, List<Run>> leaving = new HashMap<>();
        Map<Item, List<Run>> entering = new HashMap<>();
        for (Run run : runs) {
            if (run.to.layer > run.from.layer) {
                leaving.computeIfAbsent(run.from, k -> new ArrayList<>()).add(run);
                entering.computeIfAbsent(run.to, k -> new ArrayList<>()).add(run);
            }
        }
        spread(leaving, true);
        spread(entering, false);
        // Where each run passes each layer: where it leaves, its bends, where it enters.
        Map<Run, double[]> places = new LinkedHashMap<>();
        // By its ends, each hop across a gap: {left, right, height, 1 when heading right}.
        List<Map<String, double[]>> hops = new ArrayList<>();
        for (int l = 0; l < tops.length; l++) {
            hops.add(new HashMap<>());
        }
        for (Run run : runs) {
            if (run.to.layer <= run.from.layer) {
                continue;
            }
            double[] xs = new double[run.chain.size() + 2];
            xs[0] = run.startX;
            for (int k = 0; k < run.chain.size(); k++) {
                xs[k + 1] = run.chain.get(k).x + BEND / 2.0;
            }
            xs[xs.length - 1] = run.endX;
            places.put(run, xs);
        }
        // An arc's last drop into its child would run down along another parent's arc that
        // leaves from the same place above: move its end aside, half way to the next.
        Map<Integer, List<double[]>> starts = new HashMap<>();  // by gap: {x, parent}
        for (Map.Entry<Run, double[]> e : places.entrySet()) {
            for (int k = 1; k < e.getValue().length; k++) {
                starts.computeIfAbsent(e.getKey().from.layer + k - 1, g -> new ArrayList<>())
                        .add(new double[] {e.getValue()[k - 1], e.getKey().from.box.node});
            }
        }
        for (Map.Entry<Run, double[]> e : places.entrySet()) {
            Run run = e.getKey();
            double[] xs = e.getValue();
            double aside = run.to.box.width / (entering.get(run.to).size() + 1) / 2;
            for (double x : new double[] {run.endX, run.endX + aside, run.endX - aside}) {
                boolean clear = x > run.to.box.x && x < run.to.box.x + run.to.box.width;
                for (double[] start : starts.get(run.to.layer - 1)) {
                    clear &= start[1] == run.from.box.node || Math.abs(start[0] - x) >= 2;
                }
                if (clear) {
                    xs[xs.length - 1] = x;
                    break;
                }
            }
        }
        for (Map.Entry<Run, double[]> e : places.entrySet()) {
            Run run = e.getKey();
            double[] xs = e.getValue();
            for (int k = 1; k < xs.length; k++) {
                hops.get(run.from.layer + k - 1).putIfAbsent(xs[k - 1] + " " + xs[k], new double[]
                    {Math.min(xs[k - 1], xs[k]), Math.max(xs[k - 1], xs[k]), Double.NaN,
                        xs[k - 1] < xs[k] ? 1 : 0});
            }
        }
        // The runs across a gap on tracks of their own, so that arcs of different parents do
        // not run along one another; a trunk keeps one track. Close together in the middle of
        // the gap, so that where two drops still stand in one place they meet only briefly.
        for (int l = 0; l + 1 < tops.length; l++) {
            List<double[]> across = new ArrayList<>();
            for (double[] hop : hops.get(l).values()) {
                if (hop[0] < hop[1]) {
                    across.add(hop);  // not straight down
                }
            }
            double room = tops[l + 1] - bottoms[l] - 2 * LEAD;
            int count = tracks(across, (int) (room / ARC_SPACING) - 1);
            double spacing = Math.min(2 * ARC_SPACING, room / (count + 1));
            double first = (bottoms[l] + tops[l + 1]) / 2 - spacing * (count - 1) / 2;
            for (double[] hop : across) {
                hop[2] = first + spacing * hop[2];
            }
        }
        for (Map.Entry<Run, double[]> e : places.entrySet()) {
            Run run = e.getKey();
            double[] xs = e.getValue();
            List<double[]> path = new ArrayList<>();
            path.add(new double[] {xs[0], run.from.box.y + run.from.box.height});
            for (int k = 1; k < xs.length; k++) {
                double y = hops.get(run.from.layer + k - 1).get(xs[k - 1] + " " + xs[k])[2];
                if (!Double.isNaN(y)) {
                    path.add(new double[] {xs[k - 1], y});
                    path.add(new double[] {xs[k], y});
                }
            }
            path.add(new double[] {xs[xs.length - 1], run.to.box.y});
            waypoints.addAll(path);
            routes.put(run.key, path);
        }
    }

    /**
     * Puts the hops across one gap on tracks numbered from the top, from the left: each on
     * the first track where it keeps clear of the hops there and lies below each hop that
     * starts where it ends, so that the other's drop crosses it rather than running down along
     * its own, as far as the room for tracks allows; its track in the third place. Answers
     * the number of tracks.
     */
    private static int tracks(List<double[]> hops, int room) {
        int n = hops.size();
        hops.sort((p, q) -> Double.compare(p[0], q[0]));
        Integer[] byStart = new Integer[n];
        double[] start = new double[n];
        for (int i = 0; i < n; i++) {
            byStart[i] = i;
            start[i] = hops.get(i)[hops.get(i)[3] == 1 ? 0 : 1];
        }
        Arrays.sort(byStart, (p, q) -> Double.compare(start[p], start[q]));
        List<List<Integer>> under = new ArrayList<>();
        int[] waiting = new int[n];
        for (int i = 0; i < n; i++) {
            under.add(new ArrayList<>());
        }
        for (int i = 0; i < n; i++) {
            double end = hops.get(i)[hops.get(i)[3] == 1 ? 1 : 0];
            int lo = 0;
            int hi = n;
            while (lo < hi) {
                int mid = (lo + hi) >>> 1;
                if (start[byStart[mid]] <= end - 2) {
                    lo = mid + 1;
                } else {
                    hi = mid;
                }
            }
            for (int k = lo; k < n && start[byStart[k]] < end + 2; k++) {
                under.get(byStart[k]).add(i);
                waiting[i]++;
            }
        }
        java.util.PriorityQueue<Integer> ready = new java.util.PriorityQueue<>();
        for (int i = 0; i < n; i++) {
            if (waiting[i] == 0) {
                ready.add(i);
            }
        }
        int[] least = new int[n];
        boolean[] done = new boolean[n];
        List<List<double[]>> tracks = new ArrayList<>();
        for (int placed = 0; placed < n; placed++) {
            int i = ready.isEmpty() ? -1 : ready.poll();
            for (int k = 0; i < 0; k++) {
                i = done[k] ? -1 : k;  // hops that wait on one another: the leftmost first
            }
            done[i] = true;
            double[] hop = hops.get(i);
            int t = least[i];
            while (t < tracks.size() && !clear(tracks.get(t), hop)) {
                t++;
            }
            if (t == tracks.size()) {
                tracks.add(new ArrayList<>());
            }
            tracks.get(t).add(hop);
            hop[2] = t;
            for (int k : under.get(i)) {
                least[k] = t + 1 < room ? Math.max(least[k], t + 1) : least[k];
                if (--waiting[k] == 0 && !done[k]) {
                    ready.add(k);
                }
            }
        }
        return tracks.size();
    }

    /** Whether a hop keeps clear, along its track, of the hops already on it. */
    private static boolean clear(List<double[]> track, double[] hop) {
        for (double[] other : track) {
            if (other[0] < hop[1] + BEND_GAP && hop[0] < other[1] + BEND_GAP) {
                return false;
            }
        }
        return true;
    }

    /**
     * Spreads the arcs leaving (or entering) each box along its bottom (or top); the arcs of
     * one trunk leave at one point.
     */
    private static void spread(Map<Item, List<Run>> arcs, boolean leaving) {
        for (Map.Entry<Item, List<Run>> e : arcs.entrySet()) {
            List<Run> side = e.getValue();
            side.sort((a, b) -> Double.compare(towards(a, leaving), towards(b, leaving)));
            List<Object> ways = new ArrayList<>();
            for (Run run : side) {
                Object way = leaving && !run.chain.isEmpty() ? run.chain.get(0) : run;
                if (ways.isEmpty() || ways.get(ways.size() - 1) != way) {
                    ways.add(way);
                }
            }
            Box box = e.getKey().box;
            int i = -1;
            Object last = null;
            for (Run run : side) {
                Object way = leaving && !run.chain.isEmpty() ? run.chain.get(0) : run;
                i += way == last ? 0 : 1;
                last = way;
                double x = box.x + box.width * (i + 1) / (ways.size() + 1);
                if (leaving) {
                    run.startX = x;
                } else {
                    run.endX = x;
                }
            }
        }
    }

    /** Where an arc heads after leaving its parent, or comes from before its child. */
    private static double towards(Run run, boolean leaving) {
        Item next = run.chain.isEmpty() ? (leaving ? run.to : run.from)
                : run.chain.get(leaving ? 0 : run.chain.size() - 1);
        return next.bend ? next.x : next.box.cx();
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

    /** What the boxes, the submodels' frames and the nodes' loops cover. */
    private double[] shapeBounds() {
        double[] b = emptyBounds();
        for (Box box : boxes.values()) {
            grow(b, box.x, box.y, box.x + box.width, box.y + box.height);
        }
        for (Frame f : frames) {
            grow(b, f.x, f.y, f.x + f.width, f.y + f.height);
        }
        for (List<double[]> shapes : loopShapes.values()) {
            double[] r = loopBounds(shapes);
            grow(b, r[0], r[1], r[2], r[3]);
        }
        return b;
    }

    /** Grows b over every point of the arcs drawn so far, temporal ones with the rest. */
    private void growOverArcs(double[] b) {
        for (List<double[]> path : routes.values()) {
            for (double[] p : path) {
                grow(b, p[0], p[1], p[0], p[1]);
            }
        }
        for (Temporal arc : temporals) {
            for (double[] p : arc.path) {
                grow(b, p[0], p[1], p[0], p[1]);
            }
        }
    }

    private String render() {
        double[] b = shapeBounds();
        growOverArcs(b);
        for (Temporal arc : temporals) {
            double[] r = labelRect(arc.labelX, arc.labelY, labelWidth(arc.label));
            grow(b, r[0], r[1], r[2], r[3]);
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
                List<double[]> path = routes.get(arcKey(parent, child.node));
                if (path != null) {
                    arc(s, path, ox, oy, false, net.getNodeId(parent), net.getNodeId(child.node));
                }
            }
        }
        for (Temporal t : temporals) {
            arc(s, t.path, ox, oy, true, t.parent, t.child);
            label(s, t.labelX + ox, t.labelY + oy, t.label, t.parent, t.child);
        }
        for (Map.Entry<Integer, List<double[]>> e : loopShapes.entrySet()) {
            List<Integer> orders = loops.get(e.getKey());
            String self = net.getNodeId(e.getKey());
            for (int k = 0; k < e.getValue().size(); k++) {
                double[] c = e.getValue().get(k);
                s.append("<path class=\"arc temporal\"").append(attr("data-from", self))
                        .append(attr("data-to", self)).append(" d=\"M")
                        .append(points(c[0] + ox, c[1] + oy)).append(" C")
                        .append(points(c[2] + ox, c[3] + oy, c[4] + ox, c[5] + oy, c[6] + ox,
                                c[7] + oy))
                        .append("\" fill=\"none\" stroke=\"#444\" stroke-width=\"1.5\"")
                        .append(" stroke-dasharray=\"6 4\" marker-end=\"url(#arrow)\"/>\n");
                label(s, c[8] + ox, c[9] + oy, "order " + orders.get(k), self, self);
            }
        }
        for (Box box : boxes.values()) {
            node(s, box, ox, oy);
        }
        s.append("</svg>\n");
        return s.toString();
    }

    private static void arc(StringBuilder s, List<double[]> path, double ox, double oy,
            boolean temporal, String parent, String child) {
        s.append("<path class=\"arc").append(temporal ? " temporal" : "").append('"')
                .append(attr("data-from", parent)).append(attr("data-to", child))
                .append(" d=\"");
        for (int i = 0; i < path.size(); i++) {
            s.append(i == 0 ? "M" : " L").append(fmt(path.get(i)[0] + ox)).append(',')
                    .append(fmt(path.get(i)[1] + oy));
        }
        s.append("\" fill=\"none\" stroke=\"#444\" stroke-width=\"1.5\"")
                .append(temporal ? " stroke-dasharray=\"6 4\"" : "")
                .append(" marker-end=\"url(#arrow)\"/>\n");
    }

    private static void label(StringBuilder s, double x, double y, String text, String parent,
            String child) {
        s.append("<text class=\"order\"").append(attr("data-from", parent))
                .append(attr("data-to", child)).append(attr("x", x)).append(attr("y", y))
                .append(" font-size=\"11\" fill=\"#444\">").append(escape(text))
                .append("</text>\n");
    }

    // -------- Arcs

    /** A temporal arc between two nodes, routed, with its label beside its path. */
    private static final class Temporal {
        List<double[]> path;
        String parent;
        String child;
        String label;
        double labelX;
        double labelY;
        double[] place;  // what the label covers, with room around
    }

    /**
     * Finds a path for every arc the layered layout has not drawn (all of them when the nodes
     * stand at their own positions), around every box but the arc's own two and clear of the
     * submodels' titles and the nodes' loops.
     */
    private void route() {
        List<Box> all = new ArrayList<>(boxes.values());
        placeLoops();
        double[] b = shapeBounds();
        if (all.isEmpty()) {
            return;
        }
        PictureRouter router = new PictureRouter(b, ROUTE_MARGIN);
        Map<Integer, Integer> index = new HashMap<>();
        for (int i = 0; i < all.size(); i++) {
            Box box = all.get(i);
            index.put(box.node, i);
            router.close(rect(box), i, true);
        }
        for (List<double[]> shapes : loopShapes.values()) {
            router.close(loopBounds(shapes), PictureRouter.CLOSED, false);
        }
        for (Frame f : frames) {
            router.close(titleRect(f), PictureRouter.CLOSED, false);
            router.avoid(new double[] {f.x, f.y, f.x + f.width, f.y + f.height});
        }
        for (List<double[]> path : routes.values()) {
            router.take(path);
        }
        // What a label may not cover, besides arcs.
        List<double[]> solid = new ArrayList<>();
        for (Box box : all) {
            solid.add(grown(rect(box), 1));
        }
        for (Frame f : frames) {
            solid.add(titleRect(f));
        }
        for (List<double[]> shapes : loopShapes.values()) {
            solid.add(loopBounds(shapes));
        }
        for (Box child : all) {
            for (int parent : net.getParents(child.node)) {
                long key = arcKey(parent, child.node);
                Box from = boxes.get(parent);
                if (from != null && !routes.containsKey(key)) {
                    routes.put(key, find(router, from, child, index));
                }
            }
            if (net.getNodeTemporalType(child.node) != PLATE) {
                continue;
            }
            for (int order : net.getTemporalOrders(child.node)) {
                for (TemporalInfo info : net.getTemporalParents(child.node, order)) {
                    Box from = boxes.get(info.handle());
                    if (from != null && from != child) {
                        Temporal t = new Temporal();
                        t.path = find(router, from, child, index);
                        t.label = "order " + order;
                        t.parent = net.getNodeId(from.node);
                        t.child = net.getNodeId(child.node);
                        temporals.add(t);
                        placeLabel(t, solid);
                        router.close(t.place, PictureRouter.CLOSED, false);
                    }
                }
            }
        }
        // An arc drawn straight, where the boxes leave it no way, may cross a label placed
        // before it: that label moves.
        for (Temporal t : temporals) {
            if (blocked(t, t.place, List.of())) {
                solid.remove(t.place);
                placeLabel(t, solid);
            }
        }
    }

    /**
     * Puts each node's loops to itself on the first side of its box, of right, left, below
     * and above, where they and their labels clear the other boxes, the frames' titles and
     * the loops placed before; on the right when no side does.
     */
    private void placeLoops() {
        List<double[]> taken = new ArrayList<>();
        for (Frame f : frames) {
            taken.add(titleRect(f));
        }
        // Each box's own entry, so that its loops, which start at its edge, may touch it.
        Map<Box, double[]> ownRects = new HashMap<>();
        for (Box box : boxes.values()) {
            double[] r = grown(rect(box), 3);
            ownRects.put(box, r);
            taken.add(r);
        }
        for (Box box : boxes.values()) {
            List<Integer> orders = loops.getOrDefault(box.node, List.of());
            if (orders.isEmpty()) {
                continue;
            }
            double[] own = ownRects.get(box);
            List<double[]> chosen = loopShapes(box, orders, 0);
            for (int side = 0; side < 4; side++) {
                List<double[]> shapes = loopShapes(box, orders, side);
                double[] r = loopBounds(shapes);
                boolean free = shapes.size() == orders.size();
                for (double[] other : taken) {
                    free &= other == own || !overlaps(r, other);
                }
                if (free) {
                    chosen = shapes;
                    break;
                }
            }
            loopShapes.put(box.node, chosen);
            taken.add(loopBounds(chosen));
        }
    }

    /**
     * A node's loops on one side of its box (0 right, 1 left, 2 below, 3 above), one beside
     * the other: each {start x, y, control x, y, control x, y, end x, y, label x, baseline,
     * label width}. Fewer than the orders when the side is too short for their labels.
     */
    private static List<double[]> loopShapes(Box box, List<Integer> orders, int side) {
        List<double[]> shapes = new ArrayList<>();
        int n = orders.size();
        boolean across = side < 2;
        double band = (across ? box.height : box.width) / n;
        double sign = side % 2 == 0 ? 1 : -1;
        double edge = side == 0 ? box.x + box.width : side == 1 ? box.x
                : side == 2 ? box.y + box.height : box.y;
        for (int k = 0; k < n; k++) {
            double w = labelWidth("order " + orders.get(k));
            if (!across && band < w + 8) {
                break;
            }
            double a = (across ? box.y : box.x) + band * k + 3;
            double b = (across ? box.y : box.x) + band * (k + 1) - 3;
            double far = edge + sign * LOOP;
            double reach = edge + sign * (LOOP * 0.75 + 4);
            double[] shape = across
                    ? new double[] {edge, a, far, a, far, b, edge, b,
                        side == 0 ? reach : reach - w, (a + b) / 2 + 4, w}
                    : new double[] {a, edge, a, far, b, far, b, edge, (a + b) / 2 - w / 2,
                        side == 2 ? reach + 9 : reach - 2, w};
            shapes.add(shape);
        }
        return shapes;
    }

    /** What a node's loops and their labels cover, with room around. */
    private static double[] loopBounds(List<double[]> shapes) {
        double[] r = emptyBounds();
        for (double[] shape : shapes) {
            for (int i = 0; i < 8; i += 2) {
                grow(r, shape[i], shape[i + 1], shape[i], shape[i + 1]);
            }
            double[] label = labelRect(shape[8], shape[9], shape[10]);
            grow(r, label[0], label[1], label[2], label[3]);
        }
        return grown(r, 2);
    }

    /**
     * Puts a temporal arc's label beside its path where it lies over no box, frame title,
     * loop, other label or arc drawn so far: the longest runs first, their middles first,
     * then farther off, out past everything drawn if need be, where a place is always free.
     * The label's place is then closed to the arcs routed after.
     */
    private void placeLabel(Temporal t, List<double[]> solid) {
        double w = labelWidth(t.label);
        double[] drawn = emptyBounds();
        for (double[] r : solid) {
            grow(drawn, r[0], r[1], r[2], r[3]);
        }
        growOverArcs(drawn);
        double farthest = Math.max(drawn[2] - drawn[0], drawn[3] - drawn[1]) + w + 16;
        List<double[]> runs = new ArrayList<>();
        for (int i = 1; i < t.path.size(); i++) {
            double[] p = t.path.get(i - 1);
            double[] q = t.path.get(i);
            runs.add(new double[] {p[0], p[1], q[0], q[1], Math.hypot(q[0] - p[0],
                q[1] - p[1])});
        }
        runs.sort((a, b) -> Double.compare(b[4], a[4]));
        int[] near = {4, 12, 22, 36, 54, 80, 120};
        search:
        for (int k = 0; ; k++) {
            double off = k < near.length ? near[k] : near[near.length - 1] * Math.pow(1.25,
                    k - near.length + 1);
            for (double[] run : runs) {
                // Points a few pixels apart, from the middle outwards.
                int m = Math.max(4, Math.min(60, (int) (run[4] / 5)));
                for (int step = 0; step < m; step++) {
                    double at = 0.5 + (step % 2 == 0 ? 1 : -1) * ((step + 1) / 2) / (double) m;
                    double px = run[0] + at * (run[2] - run[0]);
                    double py = run[1] + at * (run[3] - run[1]);
                    // Right of it, left, then above and below: centred or at either end.
                    double[][] places = {{px + off, py + 4}, {px - off - w, py + 4},
                        {px - w / 2, py - off}, {px - w / 2, py + off + 9},
                        {px - w, py - off}, {px, py - off}, {px - w, py + off + 9},
                        {px, py + off + 9}};
                    for (double[] place : places) {
                        double[] r = labelRect(place[0], place[1], w);
                        // Past everything drawn, the label is free for certain.
                        if (off > farthest || !blocked(t, r, solid)) {
                            t.labelX = place[0];
                            t.labelY = place[1];
                            break search;
                        }
                    }
                }
            }
        }
        t.place = labelRect(t.labelX, t.labelY, w);
        solid.add(t.place);
    }

    /** Whether a label covers a box, title, loop or label of those given, or another arc. */
    private boolean blocked(Temporal t, double[] r, List<double[]> solid) {
        for (double[] o : solid) {
            if (overlaps(r, o)) {
                return true;
            }
        }
        for (List<double[]> path : routes.values()) {
            if (crosses(path, r)) {
                return true;
            }
        }
        for (Temporal other : temporals) {
            if (other != t && crosses(other.path, r)) {
                return true;
            }
        }
        return false;
    }

    /** A label's width: its text at 11 pixels. */
    private static double labelWidth(String text) {
        return textWidth(text) * 11 / FONT;
    }

    /** Where a label written at (x, baseline) stands, with room around. */
    private static double[] labelRect(double x, double y, double w) {
        return new double[] {x - 1, y - 11, x + w + 4, y + 4};
    }

    private static double[] titleRect(Frame f) {
        return new double[] {f.x + 4, f.y + 2, f.x + titleWidth(f.title) - 4, f.y + FRAME_TITLE};
    }

    private static double[] grown(double[] r, double m) {
        return new double[] {r[0] - m, r[1] - m, r[2] + m, r[3] + m};
    }

    private static boolean overlaps(double[] a, double[] b) {
        return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
    }

    /** Whether a path passes through a rectangle: each run clipped against it. */
    private static boolean crosses(List<double[]> path, double[] r) {
        for (int i = 1; i < path.size(); i++) {
            double[] p = path.get(i - 1);
            double[] q = path.get(i);
            double t0 = 0;
            double t1 = 1;
            double[] d = {q[0] - p[0], q[1] - p[1]};
            double[][] sides = {{-d[0], p[0] - r[0]}, {d[0], r[2] - p[0]}, {-d[1], p[1] - r[1]},
                {d[1], r[3] - p[1]}};
            for (double[] side : sides) {
                if (side[0] == 0) {
                    t1 = side[1] < 0 ? -1 : t1;
                } else if (side[0] < 0) {
                    t0 = Math.max(t0, side[1] / side[0]);
                } else {
                    t1 = Math.min(t1, side[1] / side[0]);
                }
            }
            if (t0 <= t1) {
                return true;
            }
        }
        return false;
    }

    /** A path around the boxes, or a straight line when the boxes leave no way between. */
    private static List<double[]> find(PictureRouter router, Box from, Box to,
            Map<Integer, Integer> index) {
        List<double[]> path = router.route(rect(from), index.get(from.node), rect(to),
                index.get(to.node));
        if (path == null) {
            path = List.of(border(from, to.cx() - from.cx(), to.cy() - from.cy()),
                    border(to, from.cx() - to.cx(), from.cy() - to.cy()));
        }
        router.take(path);
        return path;
    }

    private static double[] rect(Box box) {
        return new double[] {box.x, box.y, box.x + box.width, box.y + box.height};
    }

    /** Room right of a box for its loops to itself and their labels. */
    private double loopRoom(Box box) {
        double room = 0;
        for (int order : loops.getOrDefault(box.node, List.of())) {
            room = Math.max(room, LOOP * 0.75 + 4 + labelWidth("order " + order) + 6);
        }
        return room;
    }

    private static double titleWidth(String title) {
        return Math.ceil(textWidth(title) * 1.2) + 16;  // bold, with room to spare
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
