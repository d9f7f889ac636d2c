#!/usr/bin/env perl
# SPDX-License-Identifier: MIT
# What a user without joint2si would write, in perl: converts one joint attribute file
# from standard input to standard output, forces by FORCE and moments by MOMENT
# (numerical factors). Comments ("/* */", "//", "#") are removed, lines that held only
# comments are dropped, a block comment joins the lines it spans, and the first line
# end of the input (CR LF or LF) is kept.
# Usage: perl bench/peers/joint2si.pl FORCE MOMENT < in > out
use strict;
use warnings;

my ($force, $moment) = @ARGV;
binmode STDIN;
binmode STDOUT;
my $eol;
my $pending = '';
my $in_block = 0;
while (my $line = <STDIN>) {
    $eol //= $line =~ /\r\n\z/ ? "\r\n" : "\n";
    $line =~ s/\r?\n\z//;
    my $removed = 0;
    my $out = $pending;
    while ($line ne '') {
        if ($in_block) {
            $removed = 1;
            last unless $line =~ s{\A.*?\*/}{}s;
            $in_block = 0;
            next;
        }
        if ($line =~ m{\A(.*?)(/\*|//|\#)(.*)\z}s) {
            $out .= $1;
            $removed = 1;
            if ($2 eq '/*') {
                $in_block = 1;
                $line = $3;
                next;
            }
        } else {
            $out .= $line;
        }
        last;
    }
    if ($in_block) {
        $pending = $out;
        next;
    }
    $pending = '';
    next if $out eq '' && $removed;
    my $factor = $out =~ /shear_force|axial_force/ ? $force
               : $out =~ /bending_moment/          ? $moment
               :                                     undef;
    if (defined $factor && $factor != 0
        && $out =~ /\A([^ ]* )[ \t]*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)/
        && $2 != -2147483648) {
        $out = $1 . sprintf('%.6f', $2 * $factor);
    }
    print $out, $eol;
}
