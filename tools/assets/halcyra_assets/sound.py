"""The looped sea ambience: surf swelling and washing back, a soft wind, and now and then a distant
gull, as a Microsoft ADPCM wave (2 channels, 11,025 Hz, 4 bits, 512-byte blocks).

Everything is made periodic over the loop: noise is shaped in the frequency domain of the whole
loop, envelopes are functions of the loop's phase, and events near the end wrap round to the start,
so the last sample flows into the first with no step. The loop is a whole number of blocks (1053
blocks of 500 sample frames, 47.76 s): a short last block is dropped by some decoders, which would
cut the loop short and put a click at its seam."""

import math
import struct

import numpy as np

from . import formats

RATE = 11025
CHANNELS = 2
BLOCK_ALIGN = 512
FRAMES_PER_BLOCK = (BLOCK_ALIGN - 7 * CHANNELS) * 8 // (4 * CHANNELS) + 2  # 500
BLOCKS = 1053
FRAMES = BLOCKS * FRAMES_PER_BLOCK
PEAK = 0.62

COEFFICIENTS = [(256, 0), (512, -256), (0, 0), (192, 64), (240, 0), (460, -208), (392, -232)]
ADAPTATION = [230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230]


def _shaped_noise(rng, shape_fn):
    """Noise over the whole loop with a given amplitude spectrum: periodic by construction."""
    spectrum = np.fft.rfft(rng.standard_normal(FRAMES))
    freqs = np.fft.rfftfreq(FRAMES, 1.0 / RATE)
    spectrum *= shape_fn(np.maximum(freqs, 1e-3))
    out = np.fft.irfft(spectrum, FRAMES)
    return out / np.sqrt(np.mean(out * out))


def _band(lo, hi, slope=0.5):
    def shape(f):
        return (1.0 / (1.0 + (lo / f) ** 4)) * (1.0 / (1.0 + (f / hi) ** 3)) * (1000.0 / f) ** slope
    return shape


def _circular_distance(t, centre):
    """Signed distance in seconds from centre to t on the loop, in (-L/2, L/2]."""
    length = FRAMES / RATE
    return (t - centre + length / 2) % length - length / 2


def _swell_envelopes(t, rng):
    """The surf's swell (build-up and break) and wash (foam running back) envelopes."""
    count = 6
    length = FRAMES / RATE
    swell = np.zeros_like(t)
    wash = np.zeros_like(t)
    for index in range(count):
        centre = (index + 0.5 + rng.uniform(-0.18, 0.18)) * length / count
        size = rng.uniform(0.65, 1.0)
        d = _circular_distance(t, centre)
        rise = np.where((d > -3.2) & (d <= 0), np.clip((d + 3.2) / 3.2, 0, 1) ** 2.2, 0.0)
        fall = np.where(d > 0, np.exp(-d / 1.5), 0.0)
        swell += size * (rise + fall)
        w = d - 0.6
        wash += size * np.where(w > 0, (1 - np.exp(-w / 0.25)) * np.exp(-w / 1.9), 0.0)
    return swell, wash


def _slow_wave(t, rng, cycles):
    """A slow wobble made of whole cycles per loop."""
    length = FRAMES / RATE
    out = np.zeros_like(t)
    for c in cycles:
        out += np.sin(2 * math.pi * c * t / length + rng.uniform(0, 2 * math.pi)) / len(cycles)
    return out


def _gull_call(rng, start, pan):
    """A few falling 'kyow' notes of a gull far away, as a stereo pair of full-loop arrays."""
    left = np.zeros(FRAMES)
    right = np.zeros(FRAMES)
    notes = rng.integers(3, 5)
    time = start
    for note in range(notes):
        duration = rng.uniform(0.22, 0.34)
        n = int(duration * RATE)
        tt = np.arange(n) / RATE
        u = tt / duration
        base = rng.uniform(900, 1150)
        pitch = base * (1.0 + 0.35 * np.sin(math.pi * np.minimum(u * 1.6, 1.0)) - 0.25 * u)
        phase = 2 * math.pi * np.cumsum(pitch) / RATE
        tone = (np.sin(phase) + 0.45 * np.sin(2 * phase + 0.4) + 0.22 * np.sin(3 * phase + 1.1)
                + 0.08 * np.sin(4 * phase + 2.0))
        envelope = np.minimum(u / 0.08, 1.0) * np.exp(-np.maximum(u - 0.25, 0) * 3.2)
        call = tone * envelope * (0.7 + 0.3 * rng.random())
        # A faint echo from the cliffs.
        echo = np.zeros(n + 900)
        echo[:n] += call
        echo[900:] += 0.28 * call
        index = (int(time * RATE) + np.arange(len(echo))) % FRAMES
        left[index] += echo * (1.0 - pan)
        right[index] += echo * (1.0 + pan)
        time += duration + rng.uniform(0.08, 0.22)
    return left, right


def synthesize():
    """The ambience as float stereo in -1..1, shape (FRAMES, 2)."""
    rng = np.random.default_rng(5150)
    t = np.arange(FRAMES) / RATE
    swell, wash = _swell_envelopes(t, rng)
    channels = []
    common_surf = _shaped_noise(rng, _band(70, 900, 0.55))
    common_fizz = _shaped_noise(rng, _band(1400, 4200, 0.1))
    common_rumble = _shaped_noise(rng, _band(30, 160, 0.8))
    wind_shape = _band(220, 800, 0.3)
    for channel in range(CHANNELS):
        # Each side has its own share of the noise, and hears each swell a little later or sooner.
        surf = 0.75 * common_surf + 0.66 * _shaped_noise(rng, _band(70, 900, 0.55))
        fizz = 0.7 * common_fizz + 0.71 * _shaped_noise(rng, _band(1400, 4200, 0.1))
        shift = int((0.035 if channel else -0.035) * RATE)
        sw = np.roll(swell, shift)
        wa = np.roll(wash, shift)
        murmur = 0.22 + 0.08 * _slow_wave(t, rng, (2, 3, 5))
        sea = surf * (murmur + 0.55 * sw) + fizz * 0.34 * wa + common_rumble * 0.35 * (0.4 + sw)
        wind_level = 0.10 + 0.05 * _slow_wave(t, rng, (1, 2, 4, 7))
        wind = _shaped_noise(rng, wind_shape) * wind_level
        channels.append(sea + wind)
    gulls = [_gull_call(rng, 13.4, -0.35), _gull_call(rng, 34.1, 0.4)]
    for left, right in gulls:
        channels[0] += 0.05 * left
        channels[1] += 0.05 * right
    stereo = np.stack(channels, axis=1)
    return stereo / np.max(np.abs(stereo)) * PEAK


def _encode_blocks(pcm):
    """Microsoft ADPCM blocks of int16 stereo pcm (FRAMES, 2). Each block and channel tries every
    predictor with several starting step sizes and keeps the one with the smallest error."""
    blocks = pcm.reshape(BLOCKS, FRAMES_PER_BLOCK, CHANNELS).transpose(0, 2, 1)  # (B, C, N)
    start_deltas = [16, 48, 128, 320, 800]
    candidates = [(p, d) for p in range(len(COEFFICIENTS)) for d in start_deltas]
    k = len(candidates)
    x = np.repeat(blocks[:, :, None, :], k, axis=2).astype(np.int64)  # (B, C, K, N)
    c1 = np.array([COEFFICIENTS[p][0] for p, _ in candidates])[None, None, :]
    c2 = np.array([COEFFICIENTS[p][1] for p, _ in candidates])[None, None, :]
    delta = np.broadcast_to(np.array([d for _, d in candidates])[None, None, :], x.shape[:3]).copy()
    s2 = x[..., 0].copy()
    s1 = x[..., 1].copy()
    adapt = np.array(ADAPTATION)
    nibbles = np.zeros(x.shape[:3] + (FRAMES_PER_BLOCK - 2,), dtype=np.int8)
    error = np.zeros(x.shape[:3])
    first_delta = delta.copy()
    for n in range(2, FRAMES_PER_BLOCK):
        predicted = (s1 * c1 + s2 * c2) >> 8
        nib = np.clip(np.round((x[..., n] - predicted) / delta), -8, 7).astype(np.int64)
        value = np.clip(predicted + nib * delta, -32768, 32767)
        error += (value - x[..., n]) ** 2
        nibbles[..., n - 2] = nib
        delta = np.maximum(16, (adapt[nib & 15] * delta) >> 8)
        s2 = s1
        s1 = value
    best = np.argmin(error, axis=2)  # (B, C)
    return blocks, best, candidates, first_delta, nibbles


def encode(stereo):
    """The RIFF WAVE file of the ambience."""
    pcm = np.round(stereo * 32767.0).astype(np.int64)
    blocks, best, candidates, first_delta, nibbles = _encode_blocks(pcm)
    out = bytearray()
    for block in range(BLOCKS):
        pick = best[block]
        predictors = [candidates[pick[c]][0] for c in range(CHANNELS)]
        deltas = [int(first_delta[block, c, pick[c]]) for c in range(CHANNELS)]
        sample1 = [int(blocks[block, c, 1]) for c in range(CHANNELS)]
        sample2 = [int(blocks[block, c, 0]) for c in range(CHANNELS)]
        out += bytes(predictors)
        out += struct.pack("<hh", *deltas)
        out += struct.pack("<hh", *sample1)
        out += struct.pack("<hh", *sample2)
        left = nibbles[block, 0, pick[0]].astype(np.int64) & 15
        right = nibbles[block, 1, pick[1]].astype(np.int64) & 15
        out += ((left << 4) | right).astype(np.uint8).tobytes()
    assert len(out) == BLOCKS * BLOCK_ALIGN
    average_bytes = RATE * BLOCK_ALIGN // FRAMES_PER_BLOCK
    fmt = struct.pack("<HHIIHHHHH", 2, CHANNELS, RATE, average_bytes, BLOCK_ALIGN, 4, 32,
                      FRAMES_PER_BLOCK, len(COEFFICIENTS))
    for a, b in COEFFICIENTS:
        fmt += struct.pack("<hh", a, b)
    return formats.riff_wave(fmt, FRAMES, bytes(out))


def decode(data):
    """Decode a Microsoft ADPCM wave written by encode() to int16 stereo, as a check."""
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE"
    pos = 12
    fmt = payload = None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt = body
        elif tag == b"data":
            payload = body
        pos += 8 + size + (size & 1)
    channels = struct.unpack("<H", fmt[2:4])[0]
    align = struct.unpack("<H", fmt[12:14])[0]
    per_block = struct.unpack("<H", fmt[18:20])[0]
    coefficient_count = struct.unpack("<H", fmt[20:22])[0]
    coefficients = [struct.unpack("<hh", fmt[22 + 4 * i:26 + 4 * i]) for i in range(coefficient_count)]
    out = []
    for start in range(0, len(payload) - align + 1, align):
        block = payload[start:start + align]
        predictor = list(block[0:channels])
        delta = list(struct.unpack("<%dh" % channels, block[channels:3 * channels]))
        s1 = list(struct.unpack("<%dh" % channels, block[3 * channels:5 * channels]))
        s2 = list(struct.unpack("<%dh" % channels, block[5 * channels:7 * channels]))
        frames = [tuple(s2), tuple(s1)]
        for byte in block[7 * channels:]:
            for c, nib in enumerate(((byte >> 4) & 15, byte & 15)):
                signed = nib - 16 if nib >= 8 else nib
                c1, c2 = coefficients[predictor[c]]
                value = ((s1[c] * c1 + s2[c] * c2) >> 8) + signed * delta[c]
                value = max(-32768, min(32767, value))
                delta[c] = max(16, (ADAPTATION[nib] * delta[c]) >> 8)
                s2[c], s1[c] = s1[c], value
            frames.append(tuple(s1))
        out.extend(frames[:per_block])
    return np.array(out, dtype=np.int64)
