#!/usr/bin/env bash
# Holds the plug-in to libxslt's own test corpus (tests/conformance/libxslt:
# REC, general, exslt): each case runs through tarnweld-host and through this
# machine's xsltproc, and must come out
#   identical         the same bytes, or
#   same-first-error  a report whose Reason is xsltproc's first error (and
#                     whose Line is its line, where xsltproc gives one), or
#   expected          a row of tests/conformance/expected-differences, with
#                     its class and why.
# Any other case fails the stage, and so does a row that no longer differs.
# Prints one line per case that is not identical, then the counts.
#
#   scripts/test-conformance.sh      build/bin/tarnweld-host (or TARNWELD_BUILD_DIR's,
#                                    or the one TARNWELD_HOST names)
#   scripts/test-conformance.sh -v   also prints each such case's outputs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TARNWELD_BUILD_DIR:-build}
host=${TARNWELD_HOST:-$root/$build/bin/tarnweld-host}
corpus=$root/tests/conformance/libxslt
table=$root/tests/conformance/expected-differences
verbose=${1:-}

for tool in "$host" "$(command -v xsltproc || true)" "$(command -v dbus-daemon || true)"; do
  [ -x "$tool" ] || { echo "test-conformance: needs tarnweld-host (build it: scripts/test.sh), xsltproc and dbus-daemon" >&2; exit 2; }
done

work=$(mktemp -d)
bus_pid=
cleanup() {
  [ -z "$bus_pid" ] || kill "$bus_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The cases, staged so that both processors read the same files under the
# same names: a general case's document (docs/D.xml, for general/D*.xsl) is
# copied beside its stylesheet under the stylesheet's base name, which is
# where the plug-in looks, and the files the documents name come along.
cp -r "$corpus" "$work/c"
c=$work/c
cp "$c"/docs/* "$c/general/"
tab=$'\t'
cases=()
for xsl in "$c"/REC/*.xsl; do
  [ -f "${xsl%.xsl}.xml" ] && cases+=("REC$tab$(basename "${xsl%.xsl}")$tab${xsl%.xsl}.xml$tab$xsl")
done
# Documents that carry their stylesheet, given alone (named with .xml: one
# of them also has a stylesheet beside it, a case of its own above).
for doc in "$c"/REC/stand*.xml; do cases+=("REC$tab$(basename "$doc")$tab$doc$tab-"); done
for doc in "$c"/docs/*.xml; do
  base=$(basename "$doc" .xml)
  for xsl in "$c/general/$base"*.xsl; do
    [ -f "$xsl" ] || continue
    name=$(basename "$xsl" .xsl)
    [ -f "$c/general/$name.xml" ] || cp "$doc" "$c/general/$name.xml"
    cases+=("general$tab$name$tab$c/general/$name.xml$tab$xsl")
  done
done
for xsl in "$c"/exslt/*/*.xsl; do
  name=${xsl#"$c/exslt/"}
  [ -f "${xsl%.xsl}.xml" ] && cases+=("exslt$tab${name%.xsl}$tab${xsl%.xsl}.xml$tab$xsl")
done

# One bus for every run, rather than a private one per run.
{ read -r address; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$address

out=$work/out
mkdir "$out"
for case in "${cases[@]}"; do
  IFS=$'\t' read -r set name doc xsl <<<"$case"
  f=$out/$set.${name//\//.}
  (
    cd "$(dirname "$doc")"
    if [ "$xsl" = - ]; then set -- "$doc"; else set -- "$xsl" "$doc"; fi
    rc=0
    timeout 60 xsltproc "$@" >"$f.xsltproc" 2>"$f.xsltproc-err" || rc=$?
    echo "$rc" >"$f.xsltproc-rc"
    rc=0
    timeout 90 "$host" run "$doc" >"$f.ours" 2>"$f.ours-err" || rc=$?
    echo "$rc" >"$f.ours-rc"
  )
  printf '%s\t%s\t%s\n' "$set" "$name" "$f" >>"$out/list"
done

perl - "$out/list" "$table" "$verbose" <<'PERL'
use strict;
use warnings;
my ($list, $table, $verbose) = @ARGV;

sub slurp { my ($p) = @_; open(my $h, '<:raw', $p) or return ''; local $/; my $s = <$h>; close $h; return $s // ''; }

# The table: "set/name  class  why", one row a line; # starts a comment.
my (%expected, %class_of_row);
open(my $t, '<', $table) or die "no table $table\n";
while (<$t>) {
  next if /^\s*(#|$)/;
  my ($case, $class, $why) = /^(\S+)\s+(\S+)\s+(.*\S)/ or die "bad row in $table: $_";
  $expected{$case} = $class;
}
close $t;

# xsltproc's first error: the first message libxml2 or libxslt raised as an
# error (a parser, validity or XPath error; libxslt's located error, whose
# message is the line after its location line), with its file and line when
# it names them. When none is there, the lines it printed (an unlocated
# error, or a terminating message: its last lines).
sub first_error {
  my ($err, $failed) = @_;
  my @lines = split /\n/, $err;
  my @plain;
  for (my $i = 0; $i < @lines; $i++) {
    my $l = $lines[$i];
    if ($l =~ /^(?:(.+?):(\d+): )?([\w ]*?) ?(error|warning) : (.*)$/ && $l !~ /^element \S+: error :/) {
      next if $4 eq 'warning';
      return { reason => $5, file => $1, line => $2 };
    }
    if ($l =~ /^(?:runtime error|compilation error|error)(?:: file (.+) line (\d+) element \S+|: element \S+)?$/) {
      my ($file, $line) = ($1, $2);
      for (my $j = $i + 1; $j < @lines; $j++) {
        next if $lines[$j] =~ /^\s*$/;
        return { reason => $lines[$j], file => $file, line => $line };
      }
    }
    next if $l =~ /^no result for / || $l =~ /^(?:  )+[A-Z]+ / || $l =~ /^element \S+: error :/;
    push @plain, $l;
  }
  # Whether such lines were an error or notes (xsl:message), only its exit
  # status tells.
  return @plain && $failed ? { plain => [@plain] } : undef;
}

# What a row's class says of the two outputs, where the stage can check it.
my $empty_reason = "The transformation's result is empty.";
sub class_holds {
  my ($class, $ours_rc, $ours, $theirs_rc, $theirs, $err) = @_;
  my $report = $ours_rc == 4 ? report($ours) : undef;
  if ($class eq 'empty-result') {
    return 0 unless $theirs eq '' && $report;
    return $report->{reason} eq $empty_reason || same_first_error($report, first_error($err, 0));
  }
  return $report && $theirs_rc == 0 if $class eq 'dtd-validation';
  return 1;
}

# The report's Reason (its lines, CR LF as LF) and Line.
sub report {
  my ($out) = @_;
  return undef unless $out =~ /^Tarnweld Error - /;
  my ($reason) = $out =~ /\r\nReason: (.*?)\r\nLine: /s or return undef;
  my ($line) = $out =~ /\r\nLine: (-?\d+) Column: /;
  $reason =~ s/\r\n/\n/g;
  return { reason => $reason, line => $line };
}

sub same_first_error {
  my ($ours, $theirs) = @_;
  return 0 unless $ours && $theirs;
  my $reason = $ours->{reason};
  if ($theirs->{plain}) {
    my @want = split /\n/, $reason, -1;
    my @have = @{ $theirs->{plain} };
    return 0 if @want > @have;
    return join("\n", @have[$#have - $#want .. $#have]) eq $reason;
  }
  my $in_file = '';
  # A stylesheet of the tree other than the one the header names.
  $in_file = $1 if $reason =~ s/ \(in (.+)\)$//s;
  return 0 unless $reason eq $theirs->{reason};
  return 0 if $in_file ne '' && defined $theirs->{file} && $theirs->{file} ne $in_file;
  return 0 if defined $theirs->{line} && $theirs->{line} != $ours->{line};
  return 1;
}

my (%count, @failures);
open(my $l, '<', $list) or die;
while (<$l>) {
  chomp;
  my ($set, $name, $f) = split /\t/;
  my $case = "$set/$name";
  my ($theirs_rc, $ours_rc) = (slurp("$f.xsltproc-rc") + 0, slurp("$f.ours-rc") + 0);
  my ($theirs, $ours) = (slurp("$f.xsltproc"), slurp("$f.ours"));
  my $outcome;
  if ($ours_rc == 0 && $theirs_rc == 0 && $ours eq $theirs) {
    $outcome = 'identical';
  } elsif ($ours_rc == 4 && same_first_error(report($ours), first_error(slurp("$f.xsltproc-err"), $theirs_rc != 0))) {
    $outcome = 'same-first-error';
  }
  my $row = $expected{$case};
  delete $expected{$case};
  if ($outcome && $row) {
    push @failures, "$case: $outcome, but the table expects a difference ($row): remove its row";
    $outcome = "stale:$row";
  } elsif (!$outcome && $row) {
    $outcome = "expected:$row";
    push @failures, "$case: not what its class ($row) says"
      unless class_holds($row, $ours_rc, $ours, $theirs_rc, $theirs, slurp("$f.xsltproc-err"));
  } elsif (!$outcome) {
    my $said = $ours_rc == 4 ? (report($ours) // {reason => '?'})->{reason} : "exit $ours_rc, " . length($ours) . " bytes";
    push @failures, "$case: differs from xsltproc (exit $theirs_rc) and has no row; ours: $said";
    $outcome = 'unexpected';
  }
  $count{$set}{$outcome}++;
  print "$case $outcome\n" if $outcome ne 'identical' || $verbose;
  if ($verbose eq '-v' && $outcome ne 'identical') {
    print "  ours (exit $ours_rc):\n", map("    $_\n", split(/\r?\n/, substr($ours, 0, 600)));
    print "  xsltproc (exit $theirs_rc):\n", map("    $_\n", split(/\n/, substr(slurp("$f.xsltproc-err"), 0, 600)));
  }
}
push @failures, "$_: in the table but not a case of the corpus" for sort keys %expected;

print "\n";
for my $set (qw(REC general exslt)) {
  my $c = $count{$set} // {};
  my $total = 0;
  $total += $_ for values %$c;
  print "$set: $total cases: ", join(', ', map { "$_ $c->{$_}" } sort keys %$c), "\n";
}
if (@failures) {
  print "\nFAILED:\n", map("  $_\n", @failures);
  exit 1;
}
print "conformance: every case identical, the same first error, or an expected difference\n";
PERL
