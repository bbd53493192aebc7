#!/usr/bin/perl
# Makes broken payloads for the tests: mangle.pl IN OUT flip|truncate|empty|check|flip3|cut2
use strict;
use warnings;
my ($in, $out, $how) = @ARGV;
open(my $fh, '<:raw', $in) or die "$in: $!\n";
my $data = do { local $/; <$fh> };
close($fh);
if ($how eq 'flip') {
    my $at = int(length($data) / 2);          # inside the compressed data
    substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ 0x55);
} elsif ($how eq 'truncate') {
    $data = substr($data, 0, int(length($data) * 3 / 4));
} elsif ($how eq 'check') {
    # The last byte of the block's check, which sits before the index; the footer's backward
    # size gives the index's length. The data stays intact: only the check can tell.
    my $index = (unpack('V', substr($data, -8, 4)) + 1) * 4;
    my $at = length($data) - 12 - $index - 1;
    substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ 0x01);
} elsif ($how eq 'flip3' || $how eq 'cut2') {
    # A stream of several blocks: a byte inside the third block's data, or the input cut
    # halfway through the second block. The index gives each block's size.
    my @starts = block_starts($data);
    die "$in: fewer than three blocks\n" if @starts < 4;
    if ($how eq 'flip3') {
        my $at = $starts[2] + int(($starts[3] - $starts[2]) / 2);
        substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ 0x55);
    } else {
        $data = substr($data, 0, $starts[1] + int(($starts[2] - $starts[1]) / 2));
    }
} elsif ($how eq 'empty') {
    $data = '';
} else {
    die "unknown mangling $how\n";
}
# The offsets where the blocks start, and that of the index last.
sub block_starts {
    my ($xz) = @_;
    my $index = length($xz) - 12 - (unpack('V', substr($xz, -8, 4)) + 1) * 4;
    my $at = $index + 1;
    my $varint = sub {
        my ($v, $shift) = (0, 0);
        while (1) {
            my $b = ord(substr($xz, $at++, 1));
            $v |= ($b & 0x7F) << $shift;
            $shift += 7;
            return $v if $b < 0x80;
        }
    };
    my $count = $varint->();
    my @starts = (12);
    for (1 .. $count) {
        my $unpadded = $varint->();
        $varint->();
        push @starts, $starts[-1] + (($unpadded + 3) & ~3);
    }
    return @starts;
}

open(my $oh, '>:raw', $out) or die "$out: $!\n";
print $oh $data;
close($oh) or die "$out: $!\n";
