"""Small WAV helper for the DAW check: joins Ardour's mono takes into one stereo file and
compares two renders sample by sample (after finding their alignment)."""
import struct, sys

def read_wav(path):
    d = open(path, 'rb').read()
    assert d[:4] == b'RIFF' and d[8:12] == b'WAVE', path
    i, fmt, data = 12, None, None
    while i + 8 <= len(d):
        cid, size = d[i:i+4], struct.unpack('<I', d[i+4:i+8])[0]
        body = d[i+8:i+8+size]
        if cid == b'fmt ':
            fmt = struct.unpack('<HHIIHH', body[:16])
            if fmt[0] == 0xFFFE:
                fmt = (struct.unpack('<H', body[24:26])[0],) + fmt[1:]
        elif cid == b'data':
            data = body
        i += 8 + size + (size & 1)
    tag, channels, rate, _, _, bits = fmt
    n = len(data) // (bits // 8)
    if tag == 3 and bits == 32:
        samples = struct.unpack('<%df' % n, data[:n * 4])
    elif tag == 1 and bits == 16:
        samples = [s / 32768.0 for s in struct.unpack('<%dh' % n, data[:n * 2])]
    elif tag == 1 and bits == 24:
        samples = [int.from_bytes(data[k:k+3], 'little', signed=True) / 8388608.0 for k in range(0, n * 3, 3)]
    elif tag == 1 and bits == 32:
        samples = [s / 2147483648.0 for s in struct.unpack('<%di' % n, data[:n * 4])]
    else:
        raise SystemExit('%s: unsupported WAV format %d/%d bits' % (path, tag, bits))
    return rate, [list(samples[c::channels]) for c in range(channels)]

def write_wav(path, rate, chans):
    n = len(chans[0])
    inter = [chans[c][i] for i in range(n) for c in range(len(chans))]
    data = struct.pack('<%df' % len(inter), *inter)
    fmt = struct.pack('<HHIIHH', 3, len(chans), rate, rate * 4 * len(chans), 4 * len(chans), 32)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(data)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt)
        f.write(b'data' + struct.pack('<I', len(data)) + data)

cmd = sys.argv[1]
if cmd == 'join':   # join OUT LEFT RIGHT PAD: two mono files into one stereo float file after PAD zeros
    rl, l = read_wav(sys.argv[3]); rr, r = read_wav(sys.argv[4]); pad = [0.0] * int(sys.argv[5])
    assert rl == rr
    write_wav(sys.argv[2], rl, [pad + l[0], pad + r[0]])
elif cmd == 'compare':  # compare REFERENCE OTHER TOLERANCE: best lag, then the largest difference
    ra, a = read_wav(sys.argv[2]); rb, b = read_wav(sys.argv[3]); tol = float(sys.argv[4])
    if ra != rb or len(a) != len(b):
        raise SystemExit('format differs: %d Hz x %d vs %d Hz x %d' % (ra, len(a), rb, len(b)))
    if max(abs(x) for x in a[0]) == 0:
        raise SystemExit('reference is silent')
    first = next(i for i, x in enumerate(a[0]) if abs(x) > 1e-4)
    probe = a[0][first:first + 4096]
    best = None
    for lag in range(-2048, 2049):
        err = 0.0
        for i in range(0, len(probe), 8):
            j = first + i + lag
            if 0 <= j < len(b[0]):
                err += abs(probe[i] - b[0][j])
            else:
                err += abs(probe[i])
        if best is None or err < best[0]:
            best = (err, lag)
    lag = best[1]
    worst, count = 0.0, 0
    for c in range(len(a)):
        for i in range(len(a[c])):
            j = i + lag
            if 0 <= j < len(b[c]):
                worst = max(worst, abs(a[c][i] - b[c][j])); count += 1
    print('compared %d samples at lag %d: largest difference %.3g' % (count, lag, worst))
    if count < 0.9 * len(a[0]) * len(a) or worst > tol:
        sys.exit(1)
