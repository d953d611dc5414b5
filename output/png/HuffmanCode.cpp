#include "output/png/HuffmanCode.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace tsy::png {

// Huffman code lengths no longer than maxBits; symbols with frequency 0 get 0.
// When the tree grows too deep the frequencies are flattened and it is rebuilt.
void CodeLengths(std::vector<std::uint32_t> freq, int maxBits, std::vector<std::uint8_t>& len) {
    const int n = int(freq.size());
    len.assign(std::size_t(n), 0);
    for (;;) {
        std::vector<int> leaves;
        for (int s = 0; s < n; ++s)
            if (freq[std::size_t(s)]) leaves.push_back(s);
        if (leaves.empty()) return;
        if (leaves.size() == 1) {
            len[std::size_t(leaves[0])] = 1;
            return;
        }
        std::stable_sort(leaves.begin(), leaves.end(),
                         [&](int a, int b) { return freq[std::size_t(a)] < freq[std::size_t(b)]; });
        // Two-queue Huffman: sorted leaves, and internal nodes in creation order.
        const std::size_t m = leaves.size();
        std::vector<std::uint64_t> weight(2 * m);
        std::vector<std::size_t> parent(2 * m, 0);
        for (std::size_t i = 0; i < m; ++i)
            weight[i] = freq[std::size_t(leaves[i])];
        std::size_t leaf = 0, node = m, next = m;
        auto take = [&]() {
            if (leaf < m && (node >= next || weight[leaf] <= weight[node])) return leaf++;
            return node++;
        };
        while (next < 2 * m - 1) {
            const std::size_t a = take();
            const std::size_t b = take();
            weight[next] = weight[a] + weight[b];
            parent[a] = parent[b] = next;
            ++next;
        }
        std::vector<int> depth(2 * m - 1, 0);
        int deepest = 0;
        for (std::size_t i = 2 * m - 2; i-- > 0;) {
            depth[i] = depth[parent[i]] + 1;
            deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= maxBits) {
            for (std::size_t i = 0; i < m; ++i)
                len[std::size_t(leaves[i])] = std::uint8_t(depth[i]);
            return;
        }
        for (std::uint32_t& f : freq)
            if (f) f = (f + 1) / 2;
    }
}

// Canonical codes, bit-reversed because deflate sends them from the top bit
// while the writer fills from the bottom.
std::vector<std::uint32_t> Codes(const std::vector<std::uint8_t>& len) {
    std::array<std::uint32_t, 16> count{}, next{};
    for (std::uint8_t l : len)
        ++count[l];
    count[0] = 0;
    std::uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[std::size_t(bits - 1)]) << 1;
        next[std::size_t(bits)] = code;
    }
    std::vector<std::uint32_t> codes(len.size(), 0);
    for (std::size_t s = 0; s < len.size(); ++s) {
        const int l = len[s];
        if (!l) continue;
        std::uint32_t c = next[std::size_t(l)]++, r = 0;
        for (int i = 0; i < l; ++i, c >>= 1)
            r = (r << 1) | (c & 1);
        codes[s] = r;
    }
    return codes;
}

// Run-length form of the code lengths (symbols 16, 17, 18 of deflate).
std::vector<LengthSymbol> RunLengths(const std::vector<std::uint8_t>& lengths) {
    std::vector<LengthSymbol> out;
    for (std::size_t i = 0; i < lengths.size();) {
        const std::uint8_t l = lengths[i];
        std::size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == l)
            ++run;
        std::size_t left = run;
        if (l == 0) {
            while (left >= 11) {
                const std::size_t k = std::min<std::size_t>(left, 138);
                out.push_back({18, std::uint8_t(k - 11)});
                left -= k;
            }
            if (left >= 3) {
                out.push_back({17, std::uint8_t(left - 3)});
                left = 0;
            }
        } else {
            out.push_back({l, 0});
            --left;
            while (left >= 3) {
                const std::size_t k = std::min<std::size_t>(left, 6);
                out.push_back({16, std::uint8_t(k - 3)});
                left -= k;
            }
        }
        for (; left > 0; --left)
            out.push_back({l, 0});
        i += run;
    }
    return out;
}

}  // namespace tsy::png
