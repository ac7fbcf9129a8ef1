#include "host/png.h"

#include <array>
#include <cstring>

namespace {

//--- Checksums

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

uint32_t adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

//--- Deflate with fixed Huffman codes

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void bits(uint32_t value, int count) { // least significant bit first
        for (int i = 0; i < count; ++i) {
            acc_ |= ((value >> i) & 1u) << n_;
            if (++n_ == 8) {
                out_.push_back(static_cast<uint8_t>(acc_));
                acc_ = 0;
                n_ = 0;
            }
        }
    }
    void huffman(uint32_t code, int length) { // most significant bit first
        for (int i = length - 1; i >= 0; --i) {
            bits((code >> i) & 1u, 1);
        }
    }
    void flush() {
        if (n_) {
            out_.push_back(static_cast<uint8_t>(acc_));
            acc_ = 0;
            n_ = 0;
        }
    }

  private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int n_ = 0;
};

void literal(BitWriter& w, int symbol) {
    if (symbol < 144) {
        w.huffman(0x30 + symbol, 8);
    } else if (symbol < 256) {
        w.huffman(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        w.huffman(symbol - 256, 7);
    } else {
        w.huffman(0xC0 + symbol - 280, 8);
    }
}

const int LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int DIST_BASE[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int DIST_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void match(BitWriter& w, int length, int distance) {
    int li = 28;
    while (LENGTH_BASE[li] > length) {
        --li;
    }
    literal(w, 257 + li);
    w.bits(static_cast<uint32_t>(length - LENGTH_BASE[li]), LENGTH_EXTRA[li]);
    int di = 29;
    while (DIST_BASE[di] > distance) {
        --di;
    }
    w.huffman(static_cast<uint32_t>(di), 5);
    w.bits(static_cast<uint32_t>(distance - DIST_BASE[di]), DIST_EXTRA[di]);
}

std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {0x78, 0x01};
    BitWriter w(out);
    w.bits(1, 1); // final block
    w.bits(1, 2); // fixed Huffman codes
    const int WINDOW = 32768, HASH = 1 << 15;
    std::vector<int> head(HASH, -1);
    auto hashAt = [&](size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (HASH - 1);
    };
    size_t i = 0;
    const size_t n = data.size();
    while (i < n) {
        int bestLength = 0, bestDistance = 0;
        if (i + 3 <= n) {
            int h = hashAt(i);
            int candidate = head[h];
            head[h] = static_cast<int>(i);
            if (candidate >= 0 && static_cast<int>(i) - candidate <= WINDOW) {
                size_t limit = std::min<size_t>(258, n - i);
                size_t length = 0;
                while (length < limit && data[candidate + length] == data[i + length]) {
                    ++length;
                }
                if (length >= 3) {
                    bestLength = static_cast<int>(length);
                    bestDistance = static_cast<int>(i) - candidate;
                }
            }
        }
        if (bestLength) {
            match(w, bestLength, bestDistance);
            for (size_t k = i + 1; k < i + bestLength && k + 3 <= n; ++k) {
                head[hashAt(k)] = static_cast<int>(k);
            }
            i += bestLength;
        } else {
            literal(w, data[i]);
            ++i;
        }
    }
    literal(w, 256);
    w.flush();
    uint32_t adler = adler32(data);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(adler >> shift));
    }
    return out;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(v >> shift));
    }
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    put32(out, static_cast<uint32_t>(body.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

//--- Inflate (for reading screenshots back in tests)

class BitReader {
  public:
    BitReader(const uint8_t* data, size_t n) : data_(data), n_(n) {}
    bool bits(int count, uint32_t* value) {
        *value = 0;
        for (int i = 0; i < count; ++i) {
            if (pos_ >= n_ * 8) {
                return false;
            }
            *value |= static_cast<uint32_t>((data_[pos_ >> 3] >> (pos_ & 7)) & 1) << i;
            ++pos_;
        }
        return true;
    }
    void alignToByte() { pos_ = (pos_ + 7) & ~size_t(7); }
    size_t bytePos() const { return pos_ >> 3; }
    void skipBytes(size_t k) { pos_ += k * 8; }

  private:
    const uint8_t* data_;
    size_t n_;
    size_t pos_ = 0;
};

struct Huffman {
    std::vector<int> counts = std::vector<int>(16, 0);
    std::vector<int> symbols;
    bool build(const int* lengths, int n) {
        std::fill(counts.begin(), counts.end(), 0);
        for (int i = 0; i < n; ++i) {
            counts[lengths[i]]++;
        }
        counts[0] = 0;
        std::vector<int> offs(16, 0);
        for (int i = 1; i < 16; ++i) {
            offs[i] = offs[i - 1] + counts[i - 1];
        }
        symbols.assign(static_cast<size_t>(n), 0);
        for (int i = 0; i < n; ++i) {
            if (lengths[i]) {
                symbols[offs[lengths[i]]++] = i;
            }
        }
        return true;
    }
    int decode(BitReader& r) const {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; ++len) {
            uint32_t bit;
            if (!r.bits(1, &bit)) {
                return -1;
            }
            code |= static_cast<int>(bit);
            int count = counts[len];
            if (code - count < first) {
                return symbols[index + (code - first)];
            }
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }
};

bool inflateBlock(BitReader& r, const Huffman& lit, const Huffman& dist,
                  std::vector<uint8_t>& out) {
    for (;;) {
        int sym = lit.decode(r);
        if (sym < 0) {
            return false;
        }
        if (sym < 256) {
            out.push_back(static_cast<uint8_t>(sym));
        } else if (sym == 256) {
            return true;
        } else {
            sym -= 257;
            if (sym >= 29) {
                return false;
            }
            uint32_t extra;
            if (!r.bits(LENGTH_EXTRA[sym], &extra)) {
                return false;
            }
            int length = LENGTH_BASE[sym] + static_cast<int>(extra);
            int ds = dist.decode(r);
            if (ds < 0 || ds >= 30 || !r.bits(DIST_EXTRA[ds], &extra)) {
                return false;
            }
            size_t distance = static_cast<size_t>(DIST_BASE[ds]) + extra;
            if (distance > out.size()) {
                return false;
            }
            for (int k = 0; k < length; ++k) {
                out.push_back(out[out.size() - distance]);
            }
        }
    }
}

bool zlibInflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (in.size() < 6) {
        return false;
    }
    BitReader r(in.data() + 2, in.size() - 6);
    uint32_t final = 0;
    while (!final) {
        uint32_t type;
        if (!r.bits(1, &final) || !r.bits(2, &type)) {
            return false;
        }
        if (type == 0) {
            r.alignToByte();
            size_t p = r.bytePos() + 2;
            if (p + 4 > in.size()) {
                return false;
            }
            size_t len = in[p] | (in[p + 1] << 8);
            if (p + 4 + len > in.size()) {
                return false;
            }
            out.insert(out.end(), in.begin() + static_cast<long>(p + 4),
                       in.begin() + static_cast<long>(p + 4 + len));
            r.skipBytes(4 + len);
        } else if (type == 1 || type == 2) {
            int lengths[320];
            Huffman lit, dist;
            if (type == 1) {
                for (int i = 0; i < 288; ++i) {
                    lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
                }
                lit.build(lengths, 288);
                for (int i = 0; i < 30; ++i) {
                    lengths[i] = 5;
                }
                dist.build(lengths, 30);
            } else {
                uint32_t hlit, hdist, hclen;
                if (!r.bits(5, &hlit) || !r.bits(5, &hdist) || !r.bits(4, &hclen)) {
                    return false;
                }
                static const int ORDER[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
                int cl[19] = {};
                for (uint32_t i = 0; i < hclen + 4; ++i) {
                    uint32_t v;
                    if (!r.bits(3, &v)) {
                        return false;
                    }
                    cl[ORDER[i]] = static_cast<int>(v);
                }
                Huffman clh;
                clh.build(cl, 19);
                int total = static_cast<int>(hlit + 257 + hdist + 1);
                int k = 0;
                while (k < total) {
                    int sym = clh.decode(r);
                    uint32_t rep;
                    if (sym < 0) {
                        return false;
                    }
                    if (sym < 16) {
                        lengths[k++] = sym;
                    } else if (sym == 16) {
                        if (k == 0 || !r.bits(2, &rep)) {
                            return false;
                        }
                        for (uint32_t j = 0; j < rep + 3 && k < total; ++j, ++k) {
                            lengths[k] = lengths[k - 1];
                        }
                    } else {
                        int bitsNeeded = sym == 17 ? 3 : 7, base = sym == 17 ? 3 : 11;
                        if (!r.bits(bitsNeeded, &rep)) {
                            return false;
                        }
                        for (uint32_t j = 0; j < rep + base && k < total; ++j) {
                            lengths[k++] = 0;
                        }
                    }
                }
                lit.build(lengths, static_cast<int>(hlit + 257));
                dist.build(lengths + hlit + 257, static_cast<int>(hdist + 1));
            }
            if (!inflateBlock(r, lit, dist, out)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

uint32_t get32(const std::vector<uint8_t>& f, size_t at) {
    return (uint32_t(f[at]) << 24) | (uint32_t(f[at + 1]) << 16) | (uint32_t(f[at + 2]) << 8) |
           f[at + 3];
}

int paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

} // namespace

std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        const uint8_t* row = rgb.data() + rowBytes * static_cast<size_t>(y);
        raw.insert(raw.end(), row, row + rowBytes);
    }
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    put32(ihdr, static_cast<uint32_t>(width));
    put32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", zlibCompress(raw));
    chunk(out, "IEND", {});
    return out;
}

bool decodePng(const std::vector<uint8_t>& file, int* width, int* height,
               std::vector<uint8_t>* rgb) {
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || std::memcmp(file.data(), SIGNATURE, 8) != 0) {
        return false;
    }
    size_t at = 8;
    int w = 0, h = 0, channels = 0;
    std::vector<uint8_t> idat;
    while (at + 8 <= file.size()) {
        uint32_t len = get32(file, at);
        std::string type(file.begin() + static_cast<long>(at + 4),
                         file.begin() + static_cast<long>(at + 8));
        if (at + 12 + len > file.size()) {
            return false;
        }
        const uint8_t* body = file.data() + at + 8;
        if (type == "IHDR") {
            w = static_cast<int>(get32(file, at + 8));
            h = static_cast<int>(get32(file, at + 12));
            if (body[8] != 8 || (body[9] != 2 && body[9] != 6) || body[12] != 0) {
                return false;
            }
            channels = body[9] == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            idat.insert(idat.end(), body, body + len);
        } else if (type == "IEND") {
            break;
        }
        at += 12 + len;
    }
    std::vector<uint8_t> raw;
    if (!channels || w <= 0 || h <= 0 || !zlibInflate(idat, raw)) {
        return false;
    }
    const size_t stride = static_cast<size_t>(w) * channels;
    if (raw.size() < (stride + 1) * static_cast<size_t>(h)) {
        return false;
    }
    std::vector<uint8_t> prev(stride, 0), cur(stride);
    rgb->assign(static_cast<size_t>(w) * h * 3, 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* line = raw.data() + (stride + 1) * static_cast<size_t>(y);
        uint8_t filter = line[0];
        for (size_t x = 0; x < stride; ++x) {
            int a = x >= static_cast<size_t>(channels) ? cur[x - channels] : 0;
            int b = prev[x];
            int c = x >= static_cast<size_t>(channels) ? prev[x - channels] : 0;
            int v = line[1 + x];
            switch (filter) {
            case 1:
                v += a;
                break;
            case 2:
                v += b;
                break;
            case 3:
                v += (a + b) / 2;
                break;
            case 4:
                v += paeth(a, b, c);
                break;
            default:
                break;
            }
            cur[x] = static_cast<uint8_t>(v);
        }
        for (int x = 0; x < w; ++x) {
            for (int k = 0; k < 3; ++k) {
                (*rgb)[(static_cast<size_t>(y) * w + x) * 3 + k] =
                    cur[static_cast<size_t>(x) * channels + k];
            }
        }
        prev = cur;
    }
    *width = w;
    *height = h;
    return true;
}
