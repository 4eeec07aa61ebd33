package qelta;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Finds arcs' paths around the boxes of a picture: a search over a grid of square cells, where
 * a cell touching a box (grown by a margin) or a frame's title is closed. A path runs between
 * cell centres, so it keeps at least the margin from every box but its own two; it prefers few
 * bends and cells no other arc has taken, and it ends where no other arc's arrowhead does.
 */
final class PictureRouter {
    static final int FREE = -1;
    static final int CLOSED = -2;   // a title, a loop's room, or two boxes' margins at once

    private static final int STEP = 2;
    private static final int TURN = 5;
    private static final int SHARED = 8;
    private static final int CROWDED = 30;
    private static final int MAX_EXPANSIONS = 3_000_000;
    // Past this many steps in all, the remaining arcs are drawn straight: a picture of a
    // thousand nodes packed tight still comes out in seconds.
    private static final long BUDGET = 60_000_000;
    private static final int[] DX = {1, -1, 0, 0};
    private static final int[] DY = {0, 0, 1, -1};

    private final double margin;
    private final double cell;
    private final double ox;
    private final double oy;
    private final int nx;
    private final int ny;
    private final int[] owner;
    private final byte[] used;
    private final boolean[] taken;
    private int[] cost;
    private int[] from;
    private int[] goal;
    private int search;
    private long spent;

    /**
     * A grid over the bounds {left, top, right, bottom} with room around them.
     *
     * @param margin the least distance a path keeps from a box it does not join
     */
    PictureRouter(double[] bounds, double margin) {
        this.margin = margin;
        double room = 48;
        double w = bounds[2] - bounds[0] + 2 * room;
        double h = bounds[3] - bounds[1] + 2 * room;
        // Cells of 8 pixels, coarser on a vast picture so that the grid stays small.
        this.cell = Math.max(8, Math.ceil(Math.sqrt(w * h / 1e6)));
        this.ox = bounds[0] - room;
        this.oy = bounds[1] - room;
        this.nx = (int) Math.ceil(w / cell) + 1;
        this.ny = (int) Math.ceil(h / cell) + 1;
        owner = new int[nx * ny];
        Arrays.fill(owner, FREE);
        used = new byte[nx * ny];
        taken = new boolean[nx * ny];
    }

    private int col(double x) {
        return Math.max(0, Math.min(nx - 1, (int) Math.floor((x - ox) / cell)));
    }

    private int row(double y) {
        return Math.max(0, Math.min(ny - 1, (int) Math.floor((y - oy) / cell)));
    }

    private double cx(int c) {
        return ox + (c + 0.5) * cell;
    }

    private double cy(int r) {
        return oy + (r + 0.5) * cell;
    }

    /** Closes the cells a rectangle touches to every path but its owner's (a box's index). */
    void close(double[] r, int who, boolean grow) {
        double m = grow ? margin : 0;
        if (r[2] + m < ox || r[0] - m > ox + nx * cell || r[3] + m < oy
                || r[1] - m > oy + ny * cell) {
            return;  // wholly off the grid (a label put out past the picture): nothing to close
        }
        for (int j = row(r[1] - m); j <= row(r[3] + m); j++) {
            for (int i = col(r[0] - m); i <= col(r[2] + m); i++) {
                int k = j * nx + i;
                owner[k] = owner[k] == FREE || owner[k] == who ? who : CLOSED;
            }
        }
    }

    /** Notes a path found elsewhere, so that others keep off it and off its arrowhead. */
    void take(List<double[]> path) {
        for (int p = 1; p < path.size(); p++) {
            double[] a = path.get(p - 1);
            double[] b = path.get(p);
            int n = (int) Math.ceil(Math.hypot(b[0] - a[0], b[1] - a[1]) / (cell / 2)) + 1;
            int last = -1;
            for (int s = 0; s <= n; s++) {
                double t = (double) s / n;
                int k = row(a[1] + t * (b[1] - a[1])) * nx + col(a[0] + t * (b[0] - a[0]));
                if (k != last && used[k] < 100) {
                    used[k]++;
                }
                last = k;
            }
        }
        double[] end = path.get(path.size() - 1);
        double[] before = path.get(path.size() - 2);
        // The cell just outside the box, where the arrowhead is.
        double dx = Math.signum(before[0] - end[0]);
        double dy = Math.signum(before[1] - end[1]);
        int k = row(end[1] + dy * (margin + cell / 2)) * nx + col(end[0] + dx * (margin + cell / 2));
        taken[k] = true;
    }

    /**
     * A path from one box to another (each {left, top, right, bottom} with its owner index),
     * from border to border; null when there is none.
     */
    List<double[]> route(double[] a, int ownA, double[] b, int ownB) {
        List<int[]> starts = ports(a, ownA);
        List<int[]> ends = ports(b, ownB);
        // An arrowhead apart from the others' if it can be, else anywhere on the box.
        int before = -1;
        for (int room = 1; room >= -1 && !starts.isEmpty() && spent < BUDGET; room--) {
            List<int[]> goals = new ArrayList<>();
            for (int[] port : ends) {
                if (room < 0 || !near(port[0] % nx, port[0] / nx, room)) {
                    goals.add(port);
                }
            }
            if (goals.isEmpty() || goals.size() == before) {
                continue;  // no end at all, or the same ends as the search that failed
            }
            before = goals.size();
            List<double[]> path = route(a, starts, b, goals);
            if (path != null) {
                return path;
            }
        }
        return null;
    }

    private List<double[]> route(double[] a, List<int[]> starts, double[] b, List<int[]> goals) {
        int n = nx * ny * 4;
        if (cost == null) {
            cost = new int[n];
            from = new int[n];
            goal = new int[nx * ny];
        }
        search++;
        List<Integer> touched = new ArrayList<>();
        long[] heap = new long[1024];
        int size = 0;
        int[] ga = grown(b);
        // The sides' cells just outside each box: where paths start and end.
        for (int[] port : goals) {
            goal[port[0]] = search;
        }
        for (int[] port : starts) {
            int s = port[0] * 4 + port[1];
            int c = STEP * used[port[0]];
            if (cost[s] == 0 || c < cost[s] - 1) {
                if (cost[s] == 0) {
                    touched.add(s);
                }
                cost[s] = c + 1;   // stored one up, so that zero means unseen
                from[s] = -1;
                heap = push(heap, size++, ((long) (c + heuristic(port[0], ga)) << 32) | s);
            }
        }
        int found = -1;
        int expansions = 0;
        while (size > 0 && expansions++ < MAX_EXPANSIONS && spent++ < BUDGET) {
            long top = heap[0];
            heap[0] = heap[--size];
            sift(heap, size);
            int s = (int) top;
            int c = cost[s] - 1;
            int k = s >> 2;
            if ((top >>> 32) > c + heuristic(k, ga)) {
                continue;  // a stale entry
            }
            if (goal[k] == search) {
                found = s;
                break;
            }
            int i = k % nx;
            int j = k / nx;
            for (int d = 0; d < 4; d++) {
                int ni = i + DX[d];
                int nj = j + DY[d];
                if (ni < 0 || nj < 0 || ni >= nx || nj >= ny) {
                    continue;
                }
                int nk = nj * nx + ni;
                if (owner[nk] != FREE && goal[nk] != search) {
                    continue;
                }
                int nc = c + STEP + (d == (s & 3) ? 0 : TURN) + SHARED * Math.min(used[nk], 4)
                        + (near(ni, nj, 1) ? CROWDED : 0);
                int ns = nk * 4 + d;
                if (cost[ns] == 0 || nc < cost[ns] - 1) {
                    if (cost[ns] == 0) {
                        touched.add(ns);
                    }
                    cost[ns] = nc + 1;
                    from[ns] = s;
                    heap = push(heap, size++, ((long) (nc + heuristic(nk, ga)) << 32) | ns);
                }
            }
        }
        List<double[]> path = null;
        if (found >= 0) {
            List<double[]> cells = new ArrayList<>();
            for (int s = found; s >= 0; s = from[s]) {
                cells.add(0, new double[] {cx((s >> 2) % nx), cy((s >> 2) / nx)});
            }
            path = new ArrayList<>();
            path.add(onBorder(a, cells.get(0)));
            path.addAll(cells);
            path.add(onBorder(b, cells.get(cells.size() - 1)));
            path = corners(path);
        }
        for (int s : touched) {
            cost[s] = 0;
        }
        return path;
    }

    /** Whether another arc's arrowhead lies within this many cells across of a cell. */
    private boolean near(int i, int j, int room) {
        for (int nj = Math.max(0, j - room); nj <= Math.min(ny - 1, j + room); nj++) {
            for (int ni = Math.max(0, i - room); ni <= Math.min(nx - 1, i + room); ni++) {
                if (taken[nj * nx + ni]) {
                    return true;
                }
            }
        }
        return false;
    }

    /** Makes the cells along a frame's outline dearer, so that arcs do not run on it. */
    void avoid(double[] r) {
        for (int i = col(r[0]); i <= col(r[2]); i++) {
            dear(row(r[1]) * nx + i);
            dear(row(r[3]) * nx + i);
        }
        for (int j = row(r[1]); j <= row(r[3]); j++) {
            dear(j * nx + col(r[0]));
            dear(j * nx + col(r[2]));
        }
    }

    private void dear(int k) {
        used[k] = (byte) Math.max(used[k], 2);
    }

    /** The cells of a box grown by the margin: first and last column, first and last row. */
    private int[] grown(double[] r) {
        return new int[] {col(r[0] - margin), col(r[2] + margin), row(r[1] - margin),
            row(r[3] + margin)};
    }

    private int heuristic(int k, int[] g) {
        int i = k % nx;
        int j = k / nx;
        int dx = i < g[0] - 1 ? g[0] - 1 - i : i > g[1] + 1 ? i - g[1] - 1 : 0;
        int dy = j < g[2] - 1 ? g[2] - 1 - j : j > g[3] + 1 ? j - g[3] - 1 : 0;
        return STEP * (dx + dy);
    }

    /**
     * The free cells just outside a box's sides, each with the direction leading away from the
     * box, where the straight stub from the side to the cell crosses only the box's own margin.
     */
    private List<int[]> ports(double[] r, int who) {
        int[] g = grown(r);
        List<int[]> ports = new ArrayList<>();
        for (int i = g[0]; i <= g[1]; i++) {
            if (cx(i) >= r[0] + 4 && cx(i) <= r[2] - 4) {
                addPort(ports, i, g[2] - 1, 3, g[2], row(r[1]), who);
                addPort(ports, i, g[3] + 1, 2, row(r[3]), g[3], who);
            }
        }
        for (int j = g[2]; j <= g[3]; j++) {
            if (cy(j) >= r[1] + 4 && cy(j) <= r[3] - 4) {
                addPort(ports, g[0] - 1, j, 1, g[0], col(r[0]), who);
                addPort(ports, g[1] + 1, j, 0, col(r[2]), g[1], who);
            }
        }
        return ports;
    }

    /** Adds cell (i, j) when it is free and the stub's cells lo..hi are the box's own. */
    private void addPort(List<int[]> ports, int i, int j, int dir, int lo, int hi, int who) {
        if (i < 0 || j < 0 || i >= nx || j >= ny || owner[j * nx + i] != FREE) {
            return;
        }
        for (int t = lo; t <= hi; t++) {
            if (owner[dir >= 2 ? t * nx + i : j * nx + t] != who) {
                return;
            }
        }
        ports.add(new int[] {j * nx + i, dir});
    }

    /** The point of a box's side straight across from a cell centre just outside it. */
    private static double[] onBorder(double[] r, double[] p) {
        if (p[1] < r[1]) {
            return new double[] {p[0], r[1]};
        }
        if (p[1] > r[3]) {
            return new double[] {p[0], r[3]};
        }
        return new double[] {p[0] < r[0] ? r[0] : r[2], p[1]};
    }

    /** The path with the points inside straight runs left out. */
    private static List<double[]> corners(List<double[]> path) {
        List<double[]> out = new ArrayList<>();
        for (double[] p : path) {
            int n = out.size();
            if (n >= 2) {
                double[] a = out.get(n - 2);
                double[] b = out.get(n - 1);
                double cross = (b[0] - a[0]) * (p[1] - b[1]) - (b[1] - a[1]) * (p[0] - b[0]);
                if (Math.abs(cross) < 1e-9) {
                    out.set(n - 1, p);
                    continue;
                }
            }
            out.add(p);
        }
        return out;
    }

    private static long[] push(long[] heap, int at, long entry) {
        if (at == heap.length) {
            heap = Arrays.copyOf(heap, at * 2);
        }
        int i = at;
        while (i > 0) {
            int parent = (i - 1) / 2;
            if (heap[parent] <= entry) {
                break;
            }
            heap[i] = heap[parent];
            i = parent;
        }
        heap[i] = entry;
        return heap;
    }

    private static void sift(long[] heap, int size) {
        if (size == 0) {
            return;
        }
        long entry = heap[0];
        int i = 0;
        while (true) {
            int child = 2 * i + 1;
            if (child >= size) {
                break;
            }
            if (child + 1 < size && heap[child + 1] < heap[child]) {
                child++;
            }
            if (heap[child] >= entry) {
                break;
            }
            heap[i] = heap[child];
            i = child;
        }
        heap[i] = entry;
    }
}
