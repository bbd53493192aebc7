#!/usr/bin/perl
# Writes a deterministic stand-in for a large installer package: blocks of 64 KiB that are
# either incompressible (like the cabinets inside a real package) or structured text and tables
# (like its database and documentation), in a fixed pseudo-random order. About 70 MB that xz -9
# packs to about 28 MB, the proportions of a real product's package.
#   payload-data.pl OUT [BYTES]
use strict;
use warnings;
use Digest::SHA qw(sha512);

my ($out, $total) = @ARGV;
$total //= 70766592;
open(my $fh, '>:raw', $out) or die "$out: $!\n";

my $state = 0x2545F491;
sub next_random {    # xorshift32: the same sequence on every machine
    $state ^= ($state << 13) & 0xFFFFFFFF;
    $state ^= $state >> 17;
    $state ^= ($state << 5) & 0xFFFFFFFF;
    return $state;
}

my @words = qw(install component feature registry value directory file version product
    update vorlane demo setup package cabinet table column key property action sequence
    condition media shortcut service binary icon dialog control event text string);
my $counter = 0;

sub noise_block {
    my ($n) = @_;
    my $data = '';
    while (length($data) < $n) {
        $data .= sha512(pack('NN', $counter++, 0x5eed));
    }
    return substr($data, 0, $n);
}

sub text_block {
    my ($n) = @_;
    my $data = '';
    while (length($data) < $n) {
        my $r = next_random();
        $data .= sprintf("%08X|%s_%s|%s\\%s\\%s.dat|%d|%u\r\n", $counter++,
            $words[$r % @words], $words[($r >> 5) % @words], $words[($r >> 10) % @words],
            $words[($r >> 15) % @words], $words[($r >> 20) % @words], $r % 1000,
            $r & 0xFFFFFF);
    }
    return substr($data, 0, $n);
}

my $block = 65536;
my $written = 0;
while ($written < $total) {
    my $n = $total - $written < $block ? $total - $written : $block;
    my $data = (next_random() % 100) < 26 ? noise_block($n) : text_block($n);
    print $fh $data;
    $written += $n;
}
close($fh) or die "$out: $!\n";
